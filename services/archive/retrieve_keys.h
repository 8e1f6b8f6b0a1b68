// The unique keys of a retrieve identifier (C-MOVE, C-GET), read from its top-level elements.
#pragma once

#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

// The unique keys of a retrieve identifier: its level and the UIDs (lists) of that level and
// those above it. An empty list means the key was absent or universal.
struct RetrieveKeys {
    std::string level;  // PATIENT, STUDY, SERIES or IMAGE
    std::string patientId;
    std::vector<std::string> studies;
    std::vector<std::string> series;
    std::vector<std::string> instances;
};

// Reads the keys from an identifier's top-level elements. False (with `why`) for a level other
// than the four, for an absent or invalid UID of the level itself or an invalid one above it, or
// (patientRoot) for a missing Patient ID; the study root has no patient level.
bool ReadRetrieveKeys(const ElementList& identifier, bool patientRoot, RetrieveKeys& keys, std::string& why);

}  // namespace pella
