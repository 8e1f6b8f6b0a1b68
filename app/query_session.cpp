#include "app/query_session.h"

#include <vector>

#include "app/service_run.h"

namespace pellatool {
namespace {

// Reads responses into the list until one is not pending; returns the final status (-1 when
// none could be read). A record that came with the final, failed response is not a match and
// is dropped.
int32_t ReadResponses(PDU* handle, QueryRecordList* list, const QueryCalls& calls) {
    int32_t status = -1;
    do {
        int32_t before = QueryRecordCount(list);
        status = calls.readResponse(handle, list);
        if (!PELLA_STATUS_IS_PENDING(status) && QueryRecordCount(list) > before) DropRecordsFrom(list, before, calls.level);
    } while (PELLA_STATUS_IS_PENDING(status));
    return status;
}

}  // namespace

void DropRecordsFrom(QueryRecordList* list, int32_t from, const char* level) {
    int32_t count = QueryRecordCount(list);
    if (from >= count) return;
    std::vector<void*> kept;
    for (int32_t i = 0; i < count; ++i) {
        void* record = QueryRecordAt(list, i);
        if (i < from)
            kept.push_back(record);
        else
            FreeQueryRecord(record, level);
    }
    EmptyQueryRecordList(list);
    for (void* record : kept) AppendQueryRecord(list, record);
}

bool RunQuerySession(const TestSettings& s, QueryRecordList* list, const QueryCalls& calls) {
    PDU* handle = NewPDU();
    CallingTitle calling(s.localAETitle);
    bool opened = handle != nullptr &&
                  OpenAssoc(handle, s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(),
                            s.remoteAETitle.c_str(), calls.sopClassUid, nullptr) == 1;
    bool written = opened && calls.writeRequest(handle, list);
    // Whatever the request left in the list is no match.
    DropRecordsFrom(list, 0, calls.level);
    int32_t status = written ? ReadResponses(handle, list, calls) : -1;
    CloseAssoc(handle);
    DeletePDU(handle);
    return written && status == PELLA_STATUS_SUCCESS;
}

}  // namespace pellatool
