// A lookup table of an image (Modality LUT or VOI LUT): the first item of its sequence, with the
// table's descriptor (number of entries, first value mapped, bits per entry) and its data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

struct LookupTable {
    int64_t firstMapped = 0;
    uint32_t bits = 16;
    std::vector<uint16_t> entries;

    // The entry for `input`: below the first value mapped the first entry, past the last the
    // last one.
    uint16_t At(double input) const;
    // The largest value an entry can hold (2^bits - 1).
    double Top() const { return static_cast<double>((uint32_t{1} << bits) - 1); }
};

// Reads the table in the first item of the top-level sequence (group, element), of undefined
// or defined length alike. The first value mapped is signed when the descriptor says SS, or,
// when the descriptor's VR is not known, when `signedInput`. False when the sequence is absent,
// or its first item holds no usable table (descriptor not three values, bits not 1 to 16, data
// shorter than the entries).
bool ReadLookupTable(const ElementList& list, uint16_t group, uint16_t element, bool signedInput,
                     LookupTable& table);

}  // namespace pella
