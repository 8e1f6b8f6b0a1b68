#include "data/codec/packbits.h"

#include <cstring>

namespace pella {

bool UnpackBits(std::span<const uint8_t> segment, std::span<uint8_t> out, std::string& reason) {
    std::size_t in = 0, at = 0;
    const std::size_t size = segment.size(), want = out.size();
    while (at < want) {
        if (in >= size) {
            reason =
                "an RLE segment ends after " + std::to_string(at) + " of " + std::to_string(want) + " bytes";
            return false;
        }
        const auto control = static_cast<int8_t>(segment[in++]);
        if (control >= 0) {
            const std::size_t count = static_cast<std::size_t>(control) + 1;
            if (count > want - at || count > size - in) {
                reason = "an RLE literal run goes past the end of its segment";
                return false;
            }
            std::memcpy(out.data() + at, segment.data() + in, count);
            in += count;
            at += count;
        } else if (control != -128) {
            const std::size_t count = static_cast<std::size_t>(1 - control);
            if (count > want - at || in >= size) {
                reason = "an RLE repeat run goes past the end of its segment";
                return false;
            }
            std::memset(out.data() + at, segment[in++], count);
            at += count;
        }
    }
    return true;
}

namespace {

// Length of the run of equal bytes starting at `from`, at most 128.
std::size_t RunLength(std::span<const uint8_t> row, std::size_t from) {
    std::size_t n = 1;
    while (from + n < row.size() && n < 128 && row[from + n] == row[from]) ++n;
    return n;
}

void AppendLiteral(std::span<const uint8_t> row, std::size_t from, std::size_t count,
                   std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(count - 1));
    out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(from),
               row.begin() + static_cast<std::ptrdiff_t>(from + count));
}

}  // namespace

void PackBitsRow(std::span<const uint8_t> row, std::vector<uint8_t>& out) {
    std::size_t i = 0, literalStart = 0;
    while (i < row.size()) {
        std::size_t run = RunLength(row, i);
        // A run of three or more pays for its control byte; shorter ones join the literal.
        if (run >= 3) {
            for (std::size_t k = literalStart; k < i; k += 128)
                AppendLiteral(row, k, std::min<std::size_t>(128, i - k), out);
            out.push_back(static_cast<uint8_t>(1 - static_cast<int>(run)));
            out.push_back(row[i]);
            i += run;
            literalStart = i;
        } else {
            i += run;
        }
    }
    for (std::size_t k = literalStart; k < row.size(); k += 128)
        AppendLiteral(row, k, std::min<std::size_t>(128, row.size() - k), out);
}

}  // namespace pella
