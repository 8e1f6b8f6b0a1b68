// The identifiers of the archive's C-FIND: what a request asks (its level and keys, checked
// against the information model) and the identifier each match is answered with.
#pragma once

#include <string>

#include "data/model/element_list.h"
#include "data/registry/sop_classes.h"
#include "services/index/index_query.h"

namespace pella {

// Reads a request identifier, encoded as `transferSyntax` says: Query/Retrieve Level (0008,0052)
// and every other top-level attribute as a key with its value; a sequence as a sequence key
// followed by the keys of its first item (further items are not matched). False with
// `why` when the level is missing, unknown or not one of the model (PATIENT in Study Root), or
// the model is not a root model.
bool ReadFindIdentifier(const ElementList& identifier, QueryModel model, const std::string& transferSyntax,
                        IndexQuery& query, std::string& why);

// The identifier of one match: every key of the query with the row's value, the level, the
// Retrieve AE Title and the row's Specific Character Set (when it has one), in tag order. A
// sequence key holds one item with its item keys, or no item when none of them has a value.
ElementList MatchIdentifier(const IndexQuery& query, const QueryRow& row, const std::string& retrieveAETitle);

// The text of a level as Query/Retrieve Level holds it.
const char* LevelText(ArchiveLevel level);

}  // namespace pella
