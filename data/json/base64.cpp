#include "data/json/base64.h"

namespace pella {

// Writes straight into the grown string, three bytes to four characters at a time.
void AppendBase64(std::string& out, const uint8_t* bytes, std::size_t size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t start = out.size();
    out.resize(start + (size + 2) / 3 * 4);
    char* to = out.data() + start;
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3, to += 4) {
        uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        to[0] = kAlphabet[v >> 18];
        to[1] = kAlphabet[(v >> 12) & 63];
        to[2] = kAlphabet[(v >> 6) & 63];
        to[3] = kAlphabet[v & 63];
    }
    if (std::size_t rest = size - i; rest > 0) {
        uint32_t v = uint32_t{bytes[i]} << 16;
        if (rest == 2) v |= uint32_t{bytes[i + 1]} << 8;
        to[0] = kAlphabet[v >> 18];
        to[1] = kAlphabet[(v >> 12) & 63];
        to[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        to[3] = '=';
    }
}

}  // namespace pella
