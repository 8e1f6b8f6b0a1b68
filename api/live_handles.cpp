#include "api/live_handles.h"

#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace pella {

namespace {

constexpr int kKinds = 4;

struct LiveHandles {
    std::mutex mutex;
    std::unordered_set<const void*> handles[kKinds];
    std::unordered_map<const void*, QueryLevel> records;
};

// Never destroyed: handles may be freed by static destructors of the host after ours would run.
LiveHandles& Live() {
    static LiveHandles* live = new LiveHandles;
    return *live;
}

const char* KindName(HandleKind kind) {
    switch (kind) {
        case HandleKind::ElementList:
            return "element list";
        case HandleKind::Association:
            return "association handle";
        case HandleKind::QueryRecordList:
            return "query record list";
        case HandleKind::StoreServer:
            return "store server handle";
    }
    return "handle";
}

[[noreturn]] void ThrowNotLive(HandleKind kind) {
    throw std::invalid_argument(std::string("not a live ") + KindName(kind) +
                                " (freed already, or never made here)");
}

// Throws unless the record is live with the level; the caller holds the mutex.
void CheckRecordLocked(LiveHandles& live, const void* record, QueryLevel level) {
    auto found = live.records.find(record);
    if (found == live.records.end())
        throw std::invalid_argument("not a live query record (freed already, or not made by NewQueryRecord)");
    if (found->second != level)
        throw std::invalid_argument(std::string("the query record is a ") + LevelText(found->second) +
                                    " record, not a " + LevelText(level) + " one");
}

}  // namespace

void RegisterHandle(HandleKind kind, const void* handle) {
    if (handle == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    live.handles[static_cast<int>(kind)].insert(handle);
}

void RequireLive(HandleKind kind, const void* handle) {
    if (handle == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    if (!live.handles[static_cast<int>(kind)].contains(handle)) ThrowNotLive(kind);
}

void ReleaseHandle(HandleKind kind, const void* handle) {
    if (handle == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    if (live.handles[static_cast<int>(kind)].erase(handle) == 0) ThrowNotLive(kind);
}

void RegisterQueryRecord(const void* record, QueryLevel level) {
    if (record == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    live.records[record] = level;
}

void RequireQueryRecord(const void* record, QueryLevel level) {
    if (record == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    CheckRecordLocked(live, record, level);
}

void ReleaseQueryRecord(const void* record, QueryLevel level) {
    if (record == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    CheckRecordLocked(live, record, level);
    live.records.erase(record);
}

void ForgetQueryRecord(const void* record) {
    if (record == nullptr) return;
    LiveHandles& live = Live();
    std::lock_guard lock(live.mutex);
    live.records.erase(record);
}

}  // namespace pella
