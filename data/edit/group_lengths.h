// Keeping the group length elements a data set may carry true after its elements changed.
#pragma once

#include "data/model/element_list.h"

namespace pella {

// Recomputes every group length element (gggg,0000) of the data set itself (not inside items,
// in front of the pixel data) for the given encoding. A list without them is left alone.
void RefreshGroupLengths(ElementList& list, bool explicitVR, bool bigEndian);

}  // namespace pella
