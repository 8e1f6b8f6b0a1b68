// Re-encoding a data set from one transfer syntax into another: the native syntaxes and every
// syntax whose pixel data the codec registry decodes or encodes.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Appends `input` re-encoded for `targetSyntax` to `output` (a new, empty list): values in the
// target encoding, group lengths recomputed, pixel data decompressed, copied or compressed.
// `input` changes only in that elements read without a VR (an implicit source) get the
// dictionary's. The image attributes follow the pixels (photometric interpretation, planar
// configuration) and a lossy encoding marks the copy as lossy, under a new SOP Instance UID.
// False (the reason logged) when either syntax cannot be converted from or into, or the data set
// cannot be converted; `output` then holds what was converted until the failure.
bool ConvertDataset(ElementList& output, ElementList& input, const std::string& targetSyntax,
                    const std::string& sourceSyntax);

}  // namespace pella
