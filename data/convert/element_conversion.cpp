#include "data/convert/element_conversion.h"

#include <cstring>

#include "data/dictionary/dictionary.h"
#include "data/convert/sequence_reencoding.h"
#include "data/convert/value_byte_order.h"

namespace pella {

void PrepareSourceVR(DataElement& element, const ConversionFlags& flags) {
    if (!flags.sourceExplicit || (element.vr[0] == '\0' && !IsDelimiter(element)))
        LookupVR(element);
    if (element.length == kUndefinedLength && VrIs(element.vr, "UN")) std::memcpy(element.vr, "SQ", 2);
}

bool HoldsEncodedElements(const DataElement& element) {
    bool item = element.group == 0xFFFE && element.element == 0xE000;
    return (item || VrIs(element.vr, "SQ")) && HasValue(element);
}

ElementPtr ConvertElement(const DataElement& element, const ConversionFlags& flags, bool rawItem,
                          int depth) {
    if (!rawItem && HoldsEncodedElements(element) && flags.EncodingsDiffer())
        return ReencodeSequenceValue(element, flags, depth);
    ElementPtr out =
        NewElement(element.group, element.element, element.length, element.value, element.vr);
    // The meta group stays little endian in every file.
    if (flags.ByteOrderChanges() && element.group != 0x0002) ReverseValueNumbers(*out);
    return out;
}

}  // namespace pella
