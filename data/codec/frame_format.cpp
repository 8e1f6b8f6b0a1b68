#include "data/codec/frame_codec.h"

namespace pella {

uint64_t FrameFormat::FrameBytes() const {
    if (rows == 0 || columns == 0 || (samplesPerPixel != 1 && samplesPerPixel != 3)) return 0;
    if (bitsAllocated == 0 || bitsAllocated % 8 != 0 || bitsAllocated > 64) return 0;
    uint64_t pixels = uint64_t{rows} * columns;
    // YBR_FULL_422 stands in native pixel data as Y Y Cb Cr for each pair of pixels.
    uint64_t samples =
        samplesPerPixel == 3 && photometric == "YBR_FULL_422" ? pixels * 2 : pixels * samplesPerPixel;
    return samples * (bitsAllocated / 8);
}

}  // namespace pella
