#include "data/convert/image_geometry.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "data/io/element_header.h"
#include "data/model/element_list.h"

namespace pella {

namespace {

uint16_t Number16(const DataElement& e, bool bigEndian) {
    if (e.length < 2 || e.value == nullptr) return 0;
    return bigEndian ? static_cast<uint16_t>((e.value[0] << 8) | e.value[1])
                     : static_cast<uint16_t>(e.value[0] | (e.value[1] << 8));
}

// Number of Frames: decimal text; absent, unreadable, zero or negative means one frame.
int64_t FramesFrom(const DataElement& e) {
    std::string text = UidText(e.value, e.length);
    char* end = nullptr;
    long long frames = std::strtoll(text.c_str(), &end, 10);
    return frames > 0 ? frames : 1;
}

}  // namespace

namespace {

bool FrameBits(const ImageGeometry& g, uint64_t& bits) {
    return !__builtin_mul_overflow(uint64_t{g.columns}, uint64_t{g.rows}, &bits) &&
           !__builtin_mul_overflow(bits, uint64_t{g.bitsAllocated}, &bits) &&
           !__builtin_mul_overflow(bits, uint64_t{g.Samples()}, &bits);
}

}  // namespace

bool ImageGeometry::FrameSize(uint64_t& out) const {
    uint64_t bits = 0;
    if (!FrameBits(*this, bits)) return false;
    out = bits / 8;
    return true;
}

// Counted in bits first, so that frames of single-bit pixels that end inside a byte add up.
bool ImageGeometry::TotalSize(uint64_t& out) const {
    uint64_t bits = 0;
    if (!FrameBits(*this, bits) || __builtin_mul_overflow(bits, static_cast<uint64_t>(frames), &bits) ||
        bits > UINT64_MAX - 7)
        return false;
    out = (bits + 7) / 8;
    return true;
}

void UpdateImageGeometry(ImageGeometry& g, const DataElement& e, bool bigEndian) {
    if (e.group != 0x0028) return;
    switch (e.element) {
        case 0x0002:
            g.samplesKnown = true;
            g.colour = Number16(e, bigEndian) == 3;
            break;
        case 0x0004:
            g.photometric = UidText(e.value, e.length);  // text up to its padding
            // Samples per Pixel, when present, is the better witness (PALETTE COLOR has one).
            if (!g.samplesKnown) g.colour = g.photometric.rfind("MON", 0) != 0;
            break;
        case 0x0006:
            g.planar = Number16(e, bigEndian) == 1;
            break;
        case 0x0008:
            g.frames = FramesFrom(e);
            break;
        case 0x0010:
            g.rows = Number16(e, bigEndian);
            break;
        case 0x0011:
            g.columns = Number16(e, bigEndian);
            break;
        case 0x0100:
            g.bitsAllocated = Number16(e, bigEndian);
            break;
        case 0x0101:
            g.bitsStored = Number16(e, bigEndian);
            break;
        case 0x0103:
            g.isSigned = Number16(e, bigEndian) == 1;
            break;
        default:
            break;
    }
}

}  // namespace pella
