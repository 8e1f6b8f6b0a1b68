#include "services/query/worklist.h"

#include "log/protocol_log.h"
#include "services/query/find.h"
#include "services/query/query_identifiers.h"
#include "services/query/query_results.h"

namespace pella {

bool WriteWLFindRQ(PDU& pdu, const QueryRecordList& list, const std::string& sopClassUid) {
    if (list.records.empty() || list.records[0] == nullptr) {
        LogFailure("Worklist query: the record list holds no query record");
        return false;
    }
    ElementList identifier;
    BuildWorklistIdentifier(list.records[0], identifier);
    return SendFindRequest(pdu, identifier, sopClassUid);
}

int32_t ReadWLFindRSP(PDU& pdu, QueryRecordList& list) {
    ElementList identifier;
    bool explicitVR = false;
    int32_t status = ReadFindResponse(pdu, identifier, explicitVR);
    if (status == kNoResponse || status == 0) return status;
    void* record = RecordFromIdentifier(QueryLevel::Worklist, identifier, explicitVR);
    if (record == nullptr) return kNoResponse;
    list.records.push_back(record);
    return status;
}

}  // namespace pella
