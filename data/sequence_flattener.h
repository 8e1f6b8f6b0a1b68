// Expands a defined-length sequence or item into the flat, undefined-length list form.
#pragma once

#include "data/element_header.h"
#include "data/element_list.h"

namespace pella {

// Nesting deeper than this is refused: no real data set comes near it, and hostile input
// must not exhaust the stack.
constexpr int kMaxSequenceDepth = 64;

// Appends to `list`: the element's tag and VR with undefined length, its decoded contents
// (nested defined-length items and sequences expanded the same way), and the closing
// delimiter. False when the value cannot be decoded or nests too deep; what was appended
// until then stays in the list.
bool FlattenSequence(ParseState& state, const DataElement& element, ElementList& list);

}  // namespace pella
