// The image box a created film box references: the first item of the Referenced Image Box
// Sequence (2010,0510) in the film box's N-CREATE response.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

struct ImageBoxReference {
    std::string sopClass;     // (0008,1150) of the item
    std::string sopInstance;  // (0008,1155) of the item
};

// Reads the reference from the response's own (top-level) sequence, which arrives either with
// a defined length (its value, in `transferSyntax`, is decoded here with bounds checks) or
// with undefined length (its item then stands flat in the list); only the item's own elements
// count. False with `reason` when the sequence's value does not hold whole elements or a
// referenced UID is not a valid UID (longer than 64 characters, say). A response without a
// reference leaves `out` empty and is not refused here: no image box can then be set.
bool FindImageBoxReference(const ElementList& response, const std::string& transferSyntax,
                           ImageBoxReference& out, std::string& reason);

}  // namespace pella
