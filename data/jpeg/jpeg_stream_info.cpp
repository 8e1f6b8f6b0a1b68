#include "data/jpeg/jpeg_stream_info.h"

namespace pella {

namespace {

bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: restart markers, start of image, TEM.
bool StandsAlone(uint8_t marker) {
    return (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01;
}

}  // namespace

bool ReadJpegStreamInfo(const uint8_t* data, std::size_t length, JpegStreamInfo& out) {
    if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t pos = 2;
    while (pos + 4 <= length) {
        if (data[pos] != 0xFF) return false;
        uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (StandsAlone(marker)) {
            pos += 2;
            continue;
        }
        std::size_t segment = (std::size_t{data[pos + 2]} << 8) | data[pos + 3];
        if (segment < 2) return false;
        if (IsFrameHeader(marker)) {
            if (pos + 2 + 8 > length || segment < 8) return false;
            out.precision = data[pos + 4];
            out.components = data[pos + 9];
            out.lossless = (marker & 0x03) == 0x03;
            return true;
        }
        pos += 2 + segment;
    }
    return false;
}

}  // namespace pella
