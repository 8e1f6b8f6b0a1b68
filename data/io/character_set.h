// Turns the bytes of a text value into UTF-8 according to the data set's Specific Character
// Set (0008,0005).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pella {

class TextDecoder {
public:
    // The default repertoire (ASCII): bytes above 0x7F cannot be decoded.
    TextDecoder();
    // The value of (0008,0005), as stored (several values separated by '\'). Handled: ISO_IR 6,
    // 100, 101, 109, 110, 126, 127, 138, 144, 148, 166, 203, 13 (and their ISO 2022 forms), ISO_IR
    // 192 (UTF-8), GB18030, GBK, and Japanese code extensions (ISO 2022 IR 87, 159). Unknown
    // terms fall back to the default repertoire.
    explicit TextDecoder(const std::string& specificCharacterSet);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // Valid UTF-8 for any bytes: what cannot be decoded becomes U+FFFD, one per byte. A decoder
    // of the default repertoire holds no state and may be shared between threads; others may not.
    std::string ToUtf8(const uint8_t* bytes, std::size_t size) const;

private:
    struct Converter;
    std::unique_ptr<Converter> converter_;
    bool asciiPassesThrough_ = true;  // pure ASCII text reads the same in the chosen set
};

}  // namespace pella
