// Query identifiers built from query records: every key of the level, empty or not, in
// ascending tag order with the Query/Retrieve Level in its place; the worklist's fixed
// 26-element identifier with its Scheduled Procedure Step Sequence.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "services/query/query_records.h"

namespace pella {

// Appends one key: no value for an empty text, else the text padded to even length (a zero
// byte for UI, a space for every other VR).
void AddQueryKey(ElementList& identifier, const std::string& value, uint16_t group,
                 uint16_t element, const char* vr);

void BuildStudyIdentifier(const void* record, ElementList& identifier);
void BuildSeriesIdentifier(const void* record, ElementList& identifier);
void BuildImageIdentifier(const void* record, ElementList& identifier);
// The identifier of one of the three query/retrieve levels.
void BuildLevelIdentifier(QueryLevel level, const void* record, ElementList& identifier);

void BuildWorklistIdentifier(const void* record, ElementList& identifier);

}  // namespace pella
