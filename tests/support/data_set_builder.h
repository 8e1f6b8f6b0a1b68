// Builds element lists by hand for tests of code that reads attributes of a data set.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"

namespace testing_support {

// Appends a text element, padded to even length as its creator would (UIDs with a zero byte,
// other texts with a space).
inline void AddText(ElementList& list, uint16_t group, uint16_t element, const char* vr, std::string value) {
    if (value.size() % 2) value.push_back(pella::VrIs(vr, "UI") ? '\0' : ' ');
    list.Append(pella::NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr));
}

// Appends a US element holding one little-endian 16-bit number.
inline void AddUS(ElementList& list, uint16_t group, uint16_t element, uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    list.Append(pella::NewElement(group, element, 2, bytes, "US"));
}

}  // namespace testing_support
