#include "services/query/worklist.h"

#include "log/protocol_log.h"
#include "services/query/find.h"
#include "services/query/query_identifiers.h"

namespace pella {

bool WriteWLFindRQ(PDU& pdu, const QueryRecordList& list, const std::string& sopClassUid) {
    if (list.records.empty() || list.records[0] == nullptr) {
        LogFailure("Worklist query: the record list holds no query record");
        return false;
    }
    ElementList identifier;
    BuildIdentifier(QueryLevel::Worklist, list.records[0], identifier);
    return SendFindRequest(pdu, identifier, sopClassUid);
}

int32_t ReadWLFindRSP(PDU& pdu, QueryRecordList& list) {
    void* record = nullptr;
    int32_t status = ReadFindResult(pdu, QueryLevel::Worklist, record);
    if (record != nullptr) list.records.push_back(record);
    return status;
}

}  // namespace pella
