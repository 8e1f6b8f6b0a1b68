// Query identifiers built from query records, as the record layout describes them: every key
// of the level, empty or not, in ascending tag order; the Query/Retrieve Level in its place for
// STUDY, SERIES and IMAGE; the worklist's step keys inside one undefined-length item of the
// Scheduled Procedure Step Sequence; Specific Character Set when a key holds non-ASCII text.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "services/query/query_records.h"

namespace pella {

// Appends one key: no value for an empty text, else the text padded to even length (a zero
// byte for UI, a space for every other VR).
void AddQueryKey(ElementList& identifier, const std::string& value, uint16_t group, uint16_t element,
                 const char* vr);

// Appends the identifier of a record of the level.
void BuildIdentifier(QueryLevel level, const void* record, ElementList& identifier);

}  // namespace pella
