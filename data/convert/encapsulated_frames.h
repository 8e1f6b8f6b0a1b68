// The compressed frames of encapsulated pixel data held flat in an element list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

struct EncapsulatedFrames {
    std::vector<const DataElement*> fragments;  // one per frame, in frame order
    uint64_t compressedBytes = 0;
    std::size_t lastIndex = 0;  // the sequence delimiter (or the last element of the list)
};

// Collects the items that follow the pixel data element input[pixelIndex]: the basic offset
// table item (skipped), then exactly `frames` fragments, then the sequence delimiter. False
// with `reason` set when the layout is not one fragment per frame.
bool CollectFrames(const ElementList& input, std::size_t pixelIndex, int64_t frames, EncapsulatedFrames& out,
                   std::string& reason);

}  // namespace pella
