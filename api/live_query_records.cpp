#include "api/live_query_records.h"

#include <stdexcept>

#include "api/live_handles.h"

namespace pella {

void FreeLiveRecords(QueryRecordList& list, QueryLevel level) {
    std::unordered_set<const void*> seen;
    for (const void* record : list.records) {
        if (record == nullptr) continue;
        RequireQueryRecord(record, level);
        if (!seen.insert(record).second)
            throw std::invalid_argument("the list holds the same query record twice");
    }
    for (void* record : list.records) {
        if (record == nullptr) continue;
        ReleaseQueryRecord(record, level);
        FreeQueryRecord(record, level);
    }
    list.records.clear();
}

void RequireQueryInSlotZero(const QueryRecordList& list, QueryLevel level) {
    if (!list.records.empty()) RequireQueryRecord(list.records[0], level);
}

RecordListWatch::RecordListWatch(const QueryRecordList& list, std::optional<QueryLevel> level,
                                 bool freesSlotZero)
    : list_(list), level_(level) {
    if (freesSlotZero && !list.records.empty()) slotZero_ = list.records[0];
    before_.insert(list.records.begin(), list.records.end());
}

RecordListWatch::~RecordListWatch() {
    try {
        bool slotZeroKept = false;
        for (const void* record : list_.records) {
            if (record == slotZero_) slotZeroKept = true;
            if (level_ && !before_.contains(record)) RegisterQueryRecord(record, *level_);
        }
        if (!slotZeroKept) ForgetQueryRecord(slotZero_);
    } catch (...) {
        // Out of memory while registering: the records stay usable, only their checks are lost.
    }
}

}  // namespace pella
