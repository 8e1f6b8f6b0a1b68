#include "app/query_session.h"

#include "app/service_run.h"

namespace pellatool {
namespace {

std::string LastFailure() {
    char reason[1024] = {};
    LastFailureText(reason, sizeof reason);
    return reason;
}

void TakeMatch(const void* record, int32_t /*number*/, void* context) {
    (*static_cast<const MatchSink*>(context))(record);
}

}  // namespace

bool RunQuerySession(const TestSettings& s, const char* sopClassUid, const char* level,
                     const MatchSink& onMatch, std::string& failure) {
    PDU* handle = NewPDU();
    CallingTitle calling(s.localAETitle);
    bool opened =
        handle != nullptr && OpenAssoc(handle, s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(),
                                       s.remoteAETitle.c_str(), sopClassUid, nullptr) == 1;
    int32_t status = -1;
    if (opened) {
        void* query = NewQueryRecord(level);
        status = FindEach(handle, query, sopClassUid, level, TakeMatch, const_cast<MatchSink*>(&onMatch));
        if (status != PELLA_STATUS_SUCCESS) failure = LastFailure();
        FreeQueryRecord(query, level);
        CloseAssoc(handle);
    } else {
        failure = LastFailure();
    }
    DeletePDU(handle);
    return status == PELLA_STATUS_SUCCESS;
}

}  // namespace pellatool
