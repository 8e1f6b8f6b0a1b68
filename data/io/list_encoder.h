// Encodes an element list piece by piece, in order, giving the same bytes SerializeElements
// gives at once: a large data set can be sent without holding its whole encoding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/model/element_list.h"

namespace pella {

class ListEncoder {
public:
    // The list must outlive the encoder and stay unchanged while it is used.
    ListEncoder(const ElementList& list, bool explicitVR, bool bigEndian);

    // Copies the next encoded bytes into `out`, up to `count`; returns how many (fewer only at
    // the end of the list).
    std::size_t Next(uint8_t* out, std::size_t count);

private:
    // Encodes the header of the element at index_.
    void LoadElement();

    const ElementList& list_;
    bool explicitVR_;
    bool bigEndian_;
    std::size_t index_ = 0;  // the element being encoded
    bool loaded_ = false;    // its header is in header_
    uint8_t header_[12] = {};
    std::size_t headerSize_ = 0;
    std::size_t valueSize_ = 0;
    std::size_t offset_ = 0;  // bytes of the element (header, then value) already given
};

}  // namespace pella
