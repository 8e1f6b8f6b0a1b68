#include "services/query/query_character_set.h"

#include <cstdint>

namespace pella {

namespace {

bool IsAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > 0x7F) return false;
    return true;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        uint8_t lead = bytes[i];
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || i + length > size) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
        if (length == 3) {
            uint8_t second = bytes[i + 1];
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)) return false;
        } else if (length == 4) {
            uint8_t second = bytes[i + 1];
            if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

const char* CharacterSetOfKeys(std::span<const std::string> values) {
    bool ascii = true;
    for (const std::string& value : values) {
        if (IsAscii(value)) continue;
        if (!IsUtf8(value)) return "ISO_IR 100";
        ascii = false;
    }
    return ascii ? nullptr : "ISO_IR 192";
}

}  // namespace pella
