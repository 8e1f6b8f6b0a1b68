// The image attributes the converter needs to size, split and code the pixel data.
#pragma once

#include <cstdint>
#include <string>

#include "pella.h"

namespace pella {

struct ImageGeometry {
    bool colour = false;        // three samples per pixel
    bool samplesKnown = false;  // (0028,0002) was seen: it decides `colour`
    bool planar = false;        // (0028,0006) is 1: colour planes one after the other
    std::string photometric;    // (0028,0004) without padding, e.g. "RGB", "YBR_FULL_422"
    int64_t frames = 1;
    uint32_t rows = 0;
    uint32_t columns = 0;
    uint32_t bitsAllocated = 0;
    uint32_t bitsStored = 0;  // 0 when absent: taken as bits allocated
    bool isSigned = false;    // (0028,0103) is 1

    uint32_t Samples() const { return colour ? 3 : 1; }
    // Bytes of one frame, and of all frames (rounded up to whole bytes); false when the numbers
    // overflow 64 bits.
    bool FrameSize(uint64_t& out) const;
    bool TotalSize(uint64_t& out) const;
};

// Takes the element into the geometry when it is one of the image attributes. Binary numbers
// are read in the source byte order.
void UpdateImageGeometry(ImageGeometry& geometry, const DataElement& element, bool bigEndian);

}  // namespace pella
