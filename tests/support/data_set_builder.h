// Builds element lists by hand for tests of code that reads attributes of a data set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/io/dataset_writer.h"
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

// Appends a sequence with one item holding `item`'s elements: in the flat form of undefined
// lengths, or (definedLength) as one element whose value is the item encoded in explicit or
// implicit VR little endian, as a reader leaves a sequence of defined length.
inline void AddSequence(ElementList& list, uint16_t group, uint16_t element, const ElementList& item,
                        bool definedLength = false, bool explicitVR = true) {
    if (!definedLength) {
        list.Append(pella::NewElement(group, element, pella::kUndefinedLength, nullptr, "SQ"));
        list.Append(pella::NewElement(0xFFFE, 0xE000, pella::kUndefinedLength, nullptr, "DL"));
        pella::CopyElements(list, item);
        list.Append(pella::NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        list.Append(pella::NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
        return;
    }
    std::vector<uint8_t> contents = pella::SerializeList(item, explicitVR, false);
    const uint32_t length = static_cast<uint32_t>(contents.size());
    std::vector<uint8_t> value = {0xFE,
                                  0xFF,
                                  0x00,
                                  0xE0,
                                  uint8_t(length),
                                  uint8_t(length >> 8),
                                  uint8_t(length >> 16),
                                  uint8_t(length >> 24)};
    value.insert(value.end(), contents.begin(), contents.end());
    list.Append(pella::NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), "SQ"));
}

}  // namespace testing_support
