// The compressed frames of encapsulated pixel data held flat in an element list: which
// fragments make up each frame, found from the Extended Offset Table, else the Basic Offset
// Table, else the fragments themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

struct EncapsulatedFrames {
    // For each frame in order, its fragments (at least one).
    std::vector<std::vector<const DataElement*>> frames;
    uint64_t compressedBytes = 0;
    std::size_t lastIndex = 0;  // the sequence delimiter

    // One frame's compressed bytes: the fragment itself, or its fragments joined into `joined`.
    std::span<const uint8_t> FrameBytes(std::size_t frame, std::vector<uint8_t>& joined) const;
};

// Collects the items that follow the pixel data element input[pixelIndex]: the Basic Offset
// Table item, the fragments, the sequence delimiter. Frame boundaries come from
// `extendedOffsets` (the Extended Offset Table's value, little-endian 64-bit offsets; empty when
// absent), else the Basic Offset Table; without either, one frame takes every fragment, and
// several frames take one fragment each, or, with more fragments than frames, begin at the
// fragments that start a codestream. False with `reason` set when the layout contradicts itself.
bool CollectFrames(const ElementList& input, std::size_t pixelIndex, int64_t frames,
                   std::span<const uint8_t> extendedOffsets, EncapsulatedFrames& out, std::string& reason);

// The Basic Offset Table for frames of the given compressed sizes (each fragment with its 8-byte
// item header): empty for one frame, else the little-endian 32-bit offset of each frame's item.
// False when an offset does not fit 32 bits (the table is then left empty).
bool BasicOffsetTable(std::span<const uint64_t> frameBytes, std::vector<uint8_t>& table);

}  // namespace pella
