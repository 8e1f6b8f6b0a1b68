// Turning a response identifier into a query record of the level.
#pragma once

#include "data/model/element_list.h"
#include "services/query/query_records.h"

namespace pella {

// A new record filled from the identifier: the record's attributes are taken from the
// identifier's top-level elements only, except that the worklist's step attributes are taken
// from inside the Scheduled Procedure Step Sequence (the last item's values remain), whether
// the sequence came with a defined or an undefined length. Values are taken up to their first
// zero byte within the element's own length, untrimmed. Null (logged) when a defined-length
// sequence of the identifier cannot be decoded.
void* RecordFromIdentifier(QueryLevel level, const ElementList& identifier, bool explicitVR);

}  // namespace pella
