// Re-encoding the value of a defined-length sequence or item for another transfer syntax.
#pragma once

#include "data/convert/conversion_syntax.h"
#include "data/model/element_list.h"

namespace pella {

// Decodes the value of `element` (in the source encoding) into `list`, each element already
// converted for the target: nested defined-length sequences and items re-encoded, numbers
// reversed on a change of byte order. Undefined-length sequences and items keep length -1 with
// their contents following them. False (logged) when the value is not a run of whole elements
// or nests too deep; what was converted until then stays in `list`.
bool DecodeSequenceValue(const DataElement& element, ElementList& list, const ConversionFlags& flags,
                         int depth = 0);

// Encodes every element of `list` into one value for `element` (which gets that value and its
// length). Throws std::length_error when the encoding exceeds the largest element length.
void EncodeSequenceValue(DataElement& element, const ElementList& list, bool targetExplicit,
                         bool targetBigEndian);

// Both steps: a new element with the tag and VR of `element` and its value in the target
// encoding. Null when the value cannot be decoded.
ElementPtr ReencodeSequenceValue(const DataElement& element, const ConversionFlags& flags, int depth);

}  // namespace pella
