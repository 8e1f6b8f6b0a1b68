// Putting an attribute into a data set's own (top) level at its place in tag order, replacing
// the attribute of the same tag and, for a sequence, everything inside it.
#pragma once

#include <vector>

#include "data/model/element_list.h"

namespace pella {

// `run` is one attribute as it stands flat: a single element, or a sequence element with its
// items and closing delimiter. Inserted in front of the first top-level element with a higher
// tag; a top-level element with the same tag is removed first, with its contents.
void PlaceAtTopLevel(ElementList& list, std::vector<ElementPtr> run);

}  // namespace pella
