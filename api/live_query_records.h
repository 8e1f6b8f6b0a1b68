// The records of a query record list, kept in step with the live query records: a list is freed
// only when every record in it is live and of the level named, and records that a library call
// appends or frees are registered or forgotten.
#pragma once

#include <optional>
#include <unordered_set>

#include "services/query/query_records.h"

namespace pella {

// Frees every record of the list as a record of the level and empties it. Throws, freeing
// nothing, when a record is not a live record of that level or is in the list twice.
void FreeLiveRecords(QueryRecordList& list, QueryLevel level);

// Throws unless the query record in slot 0 (when there is one) is a live record of the level.
void RequireQueryInSlotZero(const QueryRecordList& list, QueryLevel level);

// For the length of a library call on `list` at `level` (none: the call appends nothing): on
// leaving, forgets the query record that was in slot 0 when the call freed it, and registers the
// records the call appended.
class RecordListWatch {
public:
    RecordListWatch(const QueryRecordList& list, std::optional<QueryLevel> level, bool freesSlotZero);
    ~RecordListWatch();
    RecordListWatch(const RecordListWatch&) = delete;
    RecordListWatch& operator=(const RecordListWatch&) = delete;

private:
    const QueryRecordList& list_;
    std::optional<QueryLevel> level_;
    const void* slotZero_ = nullptr;
    std::unordered_set<const void*> before_;
};

}  // namespace pella
