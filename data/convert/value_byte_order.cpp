#include "data/convert/value_byte_order.h"

#include <algorithm>

#include "data/model/element_list.h"

namespace pella {

std::size_t NumberSizeOfVR(const char* vr) {
    for (const char* name : {"US", "SS", "AT", "OW"})
        if (VrIs(vr, name)) return 2;
    for (const char* name : {"UL", "SL", "FL", "OL", "OF"})
        if (VrIs(vr, name)) return 4;
    for (const char* name : {"FD", "OD", "SV", "UV", "OV"})
        if (VrIs(vr, name)) return 8;
    return 0;
}

void ReverseNumbers(uint8_t* bytes, std::size_t size, std::size_t unit) {
    if (bytes == nullptr || unit < 2) return;
    for (std::size_t at = 0; at + unit <= size; at += unit) std::reverse(bytes + at, bytes + at + unit);
}

void ReverseValueNumbers(DataElement& element) {
    if (!HasValue(element)) return;
    ReverseNumbers(element.value, static_cast<std::size_t>(element.length), NumberSizeOfVR(element.vr));
}

}  // namespace pella
