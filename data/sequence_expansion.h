// One level of a defined-length sequence or item, decoded into a list of its elements.
#pragma once

#include "data/element_list.h"

namespace pella {

// Named after its historical home, the dictionary, which supplies the VRs of implicit data.
class dictionary {
public:
    // Decodes the value bytes of `element` into `list`, one level deep: nested sequences and
    // items stay raw values, delimiters found in the value are kept as elements, none are
    // added. Headers carry a VR when `explicitVR` is set, except in groups 0000 and FFFE;
    // implicit elements get their VR from the table. False when the value does not hold
    // whole elements; what was decoded until then stays in `list`.
    static bool Exp_One_SQ(const DataElement& element, ElementList& list, bool explicitVR,
                           bool bigEndian);
};

}  // namespace pella
