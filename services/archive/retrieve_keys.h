// The unique keys of a retrieve identifier (C-MOVE, C-GET), read from its top-level elements.
#pragma once

#include <string>
#include <vector>

#include "data/model/element_list.h"
#include "services/index/stored_instance.h"

namespace pella {

// Reads the keys from an identifier's top-level elements. False (with `why`) for a level other
// than the four, for an absent or invalid UID of the level itself or an invalid one above it, or
// (patientRoot) for a missing Patient ID; the study root has no patient level.
bool ReadRetrieveKeys(const ElementList& identifier, bool patientRoot, RetrieveKeys& keys, std::string& why);

}  // namespace pella
