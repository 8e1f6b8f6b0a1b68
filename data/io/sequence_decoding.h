// Decoding the value of a defined-length sequence or item: one level into a list of its
// elements, or every level into the flat, undefined-length list form.
#pragma once

#include <cstdint>
#include <vector>

#include "data/io/element_header.h"
#include "data/model/element_list.h"

namespace pella {

// Nesting deeper than this is refused: no real data set comes near it, and hostile input
// must not exhaust the stack.
constexpr int kMaxSequenceDepth = 64;

// Named after its historical home, the dictionary, which supplies the VRs of implicit data.
class dictionary {
public:
    // Decodes the value bytes of `element` into `list`, one level deep: nested sequences and
    // items stay raw values, delimiters found in the value are kept as elements, none are
    // added. Headers carry a VR when `explicitVR` is set, except in groups 0000 and FFFE;
    // implicit elements get their VR from the table. False when the value does not hold
    // whole elements; what was decoded until then stays in `list`.
    static bool Exp_One_SQ(const DataElement& element, ElementList& list, bool explicitVR, bool bigEndian);
};

// Appends to `list`: the element's tag and VR with undefined length, its decoded contents
// (nested defined-length items and sequences expanded the same way), and the closing
// delimiter. False when the value cannot be decoded or nests too deep; what was appended
// until then stays in the list. With `offsets`, the offset of each appended element's value is
// appended there, counted from wherever the element's own value starts (`valueOffset`).
bool FlattenSequence(ParseState& state, const DataElement& element, ElementList& list,
                     std::vector<uint64_t>* offsets = nullptr, uint64_t valueOffset = 0);

// Copies a data set into `flat` with every defined-length sequence expanded into the flat form
// of undefined lengths (FlattenSequence); the other elements are copied as they are. False when
// a sequence cannot be decoded.
bool FlattenDataSet(const ElementList& dataSet, bool explicitVR, ElementList& flat);

}  // namespace pella
