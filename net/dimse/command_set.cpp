#include "net/dimse/command_set.h"

namespace pella {

void AppendUS(ElementList& list, uint16_t group, uint16_t element, uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    list.Append(NewElement(group, element, 2, bytes, "US"));
}

void AppendUL(ElementList& list, uint16_t group, uint16_t element, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    list.Append(NewElement(group, element, 4, bytes, "UL"));
}

namespace {

void AppendPadded(ElementList& list, uint16_t group, uint16_t element, std::string value, char pad,
                  const char* vr) {
    if (value.size() % 2) value.push_back(pad);
    list.Append(NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr));
}

}  // namespace

void AppendUI(ElementList& list, uint16_t group, uint16_t element, const std::string& uid) {
    AppendPadded(list, group, element, uid, '\0', "UI");
}

void AppendText(ElementList& list, uint16_t group, uint16_t element, const std::string& text,
                const char* vr) {
    AppendPadded(list, group, element, text, ' ', vr);
}

void PrependCommandGroupLength(ElementList& list) {
    uint32_t length = static_cast<uint32_t>(EncodedListLength(list, false));
    ElementList withLength;
    AppendUL(withLength, 0x0000, 0x0000, length);
    for (auto& e : list.items) withLength.Append(std::move(e));
    list.items = std::move(withLength.items);
}

}  // namespace pella
