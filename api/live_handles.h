// The handles the C API has given out and not yet taken back. Every exported function that takes
// a handle checks it here first, so that a freed, foreign or mistyped handle fails with a reason
// instead of being used. NULL is never live and never refused here: each function keeps its own
// NULL behaviour.
#pragma once

#include "services/query/query_records.h"

namespace pella {

enum class HandleKind { ElementList, Association, QueryRecordList, StoreServer };

// Records a handle just made.
void RegisterHandle(HandleKind kind, const void* handle);

// Throws std::invalid_argument("not a live <kind>") for a non-NULL handle that is not live.
void RequireLive(HandleKind kind, const void* handle);

// Checks and forgets a handle in one step (before it is freed), so that of two frees of the same
// handle only one goes ahead; throws as RequireLive. NULL passes.
void ReleaseHandle(HandleKind kind, const void* handle);

// Query records remember their level: a record is only used or freed as the level it was made for.
void RegisterQueryRecord(const void* record, QueryLevel level);
// Throws std::invalid_argument for a non-NULL record that is not live or was made for another level.
void RequireQueryRecord(const void* record, QueryLevel level);
// Checks and forgets a record in one step; throws as RequireQueryRecord. NULL passes.
void ReleaseQueryRecord(const void* record, QueryLevel level);
// Forgets a record that the library has freed itself (a request frees its query record).
void ForgetQueryRecord(const void* record);

}  // namespace pella
