#include "data/json/base64.h"

namespace pella {

void AppendBase64(std::string& out, const uint8_t* bytes, std::size_t size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.reserve(out.size() + (size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        char quad[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
                        kAlphabet[v & 63]};
        out.append(quad, 4);
    }
    if (std::size_t rest = size - i; rest > 0) {
        uint32_t v = uint32_t{bytes[i]} << 16;
        if (rest == 2) v |= uint32_t{bytes[i + 1]} << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
}

}  // namespace pella
