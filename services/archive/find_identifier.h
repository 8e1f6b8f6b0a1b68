// The identifiers of the archive's C-FIND: what a request asks (its level and keys, checked
// against the information model) and the identifier each match is answered with.
#pragma once

#include <optional>
#include <string>

#include "data/model/element_list.h"
#include "services/index/index_query.h"

namespace pella {

enum class QueryModel { PatientRoot, StudyRoot };

// The information model of a FIND class; nothing for another class.
std::optional<QueryModel> FindModelOf(const std::string& sopClass);

// Reads a request identifier: Query/Retrieve Level (0008,0052) and every other top-level
// attribute as a key with its value (sequences are left out: they are not matched). False with
// `why` when the level is missing, unknown or not one of the model (PATIENT in Study Root).
bool ReadFindIdentifier(const ElementList& identifier, QueryModel model, IndexQuery& query, std::string& why);

// The identifier of one match: every key of the query with the row's value, the level, the
// Retrieve AE Title and the row's Specific Character Set (when it has one), in tag order.
ElementList MatchIdentifier(const IndexQuery& query, const QueryRow& row, const std::string& retrieveAETitle);

// The text of a level as Query/Retrieve Level holds it.
const char* LevelText(ArchiveLevel level);

}  // namespace pella
