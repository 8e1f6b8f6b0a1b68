// The value treatment every element gets when it changes transfer syntax (pixel data aside).
#pragma once

#include "data/convert/conversion_syntax.h"
#include "data/model/element_list.h"

namespace pella {

// Gives an element of the source the VR its target encoding needs: the dictionary's for an
// implicit source (and for elements read without one), "SQ" for an undefined-length "UN"
// (a sequence whose items follow).
void PrepareSourceVR(DataElement& element, const ConversionFlags& flags);

// True for items and sequences whose value is a defined-length run of encoded elements.
bool HoldsEncodedElements(const DataElement& element);

// The element in the target encoding: a defined-length sequence or item is decoded and
// re-encoded (when the encodings differ), binary numbers are reversed when the byte order
// changes, every other value is copied. `rawItem` marks an item that is a pixel data fragment,
// copied as it stands. Null when a nested value cannot be decoded (logged).
ElementPtr ConvertElement(const DataElement& element, const ConversionFlags& flags, bool rawItem,
                          int depth = 0);

}  // namespace pella
