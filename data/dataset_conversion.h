// Re-encoding a data set for another transfer syntax.
#pragma once

#include <string>

#include "data/element_list.h"

namespace pella {

// Fills `output` with the elements of `input` re-encoded from `sourceSyntax` into
// `targetSyntax`. An implicit VR source gets its VR fields filled in from the dictionary (in
// `input` too). False when the conversion is not possible; `output` may then hold a part.
bool ConvertDataset(ElementList& output, ElementList& input, const std::string& targetSyntax,
                    const std::string& sourceSyntax);

}  // namespace pella
