// One query over its own association, as the FIND and WL Find tests run it: open, send the
// request, read responses while they are pending, release. Records of pending responses are
// kept in the list; the final response ends the loop whatever its status, so that a peer that
// answers with a failure is not waited on for a further response.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/test_settings.h"
#include "pella.h"

namespace pellatool {

struct QueryCalls {
    const char* sopClassUid;
    const char* level;  // of the records: "STUDY" or "WORKLIST"
    std::function<bool(PDU*, QueryRecordList*)> writeRequest;  // sends slot 0, leaves the list empty
    std::function<int32_t(PDU*, QueryRecordList*)> readResponse;
};

// Frees the list's records from `from` on and removes them from the list.
void DropRecordsFrom(QueryRecordList* list, int32_t from, const char* level);

// True when the association was opened, the request written and the final status was 0. The
// list holds the query record in slot 0 on entry and the matches on return.
bool RunQuerySession(const TestSettings& settings, QueryRecordList* list, const QueryCalls& calls);

}  // namespace pellatool
