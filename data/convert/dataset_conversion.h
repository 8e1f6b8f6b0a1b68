// Re-encoding a data set from one transfer syntax into another: implicit VR little endian,
// explicit VR little and big endian, JPEG lossless (process 14, predictor 1), JPEG baseline.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Appends `input` re-encoded for `targetSyntax` to `output` (a new, empty list): values in the
// target encoding, group lengths recomputed, pixel data decompressed, copied or compressed.
// `input` changes only in that elements read without a VR (an implicit source) get the
// dictionary's. A deflated syntax stands for the explicit VR little endian elements it inflates
// to (its writer deflates them). False (the reason logged) when either syntax is not one of the five, or the
// data set cannot be converted; `output` then holds what was converted until the failure.
bool ConvertDataset(ElementList& output, ElementList& input, const std::string& targetSyntax,
                    const std::string& sourceSyntax);

}  // namespace pella
