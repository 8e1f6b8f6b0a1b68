#include "data/dump/dump_value_text.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace pella {

namespace {

// Up to four value bytes as a little-endian number, missing bytes zero.
uint32_t LittleEndianBits(const DataElement& element) {
    uint32_t bits = 0;
    std::size_t count = element.length < 4 ? static_cast<std::size_t>(element.length) : 4;
    for (std::size_t i = 0; i < count; ++i) bits |= uint32_t{element.value[i]} << (8 * i);
    return bits;
}

std::string FloatText(const DataElement& element) {
    if (element.length > 4) return kVectorText;
    char text[64];
    std::snprintf(text, sizeof text, "%5.2f",
                  static_cast<double>(std::bit_cast<float>(LittleEndianBits(element))));
    return text;
}

// One value of a binary integer VR; `width` is the size of one value in bytes.
std::string IntegerText(const DataElement& element, int width, bool isSigned) {
    if (element.length > width) return kVectorText;
    uint32_t bits = LittleEndianBits(element);
    long long value = bits;
    if (isSigned && width == 2) value = static_cast<int16_t>(bits);
    if (isSigned && width == 4) value = static_cast<int32_t>(bits);
    return std::to_string(value);
}

char Printable(unsigned char c) {
    return (c < 0x20 || c == 0x7F) ? '.' : static_cast<char>(c);
}

std::string TextUpToZero(const uint8_t* bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < limit && bytes[i] != 0; ++i) out += Printable(bytes[i]);
    return out;
}

}  // namespace

std::string DumpValueText(const DataElement& element) {
    if (!HasValue(element) || element.value == nullptr) return "";
    const char* vr = element.vr;
    if (VrIs(vr, "FL") || VrIs(vr, "FD")) return FloatText(element);
    if (VrIs(vr, "US")) return IntegerText(element, 2, false);
    if (VrIs(vr, "SS")) return IntegerText(element, 2, true);
    if (VrIs(vr, "UL")) return IntegerText(element, 4, false);
    if (VrIs(vr, "SL")) return IntegerText(element, 4, true);
    return TextUpToZero(element.value, static_cast<std::size_t>(element.length));
}

std::string DumpVRText(const DataElement& element) {
    return TextUpToZero(reinterpret_cast<const uint8_t*>(element.vr), 2);
}

}  // namespace pella
