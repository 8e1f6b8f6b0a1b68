#include "services/query/find.h"

#include <cstdio>

#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "services/query/query_identifiers.h"
#include "services/query/query_messages.h"
#include "services/query/query_results.h"

namespace pella {

bool SendFindRequest(PDU& pdu, const ElementList& identifier, const std::string& sopClassUid) {
    return SendQueryRequest(pdu, sopClassUid, kCFindRQ, "", identifier);
}

int32_t ReadFindResponse(PDU& pdu, ElementList& identifier, bool& explicitVR) {
    QueryResponse response;
    if (!ReadQueryResponse(pdu, response, identifier)) return kNoResponse;
    if (!IsValidResponse(response, kCFindRSP, "C-FIND-RSP")) return kNoResponse;
    explicitVR = response.explicitVR;
    return *response.status;
}

bool WriteFindRQ(PDU& pdu, QueryRecordList& list, const std::string& sopClassUid, const char* level) {
    std::optional<QueryLevel> parsed = QueryRetrieveLevel(level);
    if (!parsed) return false;
    if (list.records.empty()) {
        LogFailure("C-FIND: the record list holds no query record");
        return false;
    }
    ElementList identifier;
    BuildIdentifier(*parsed, list.records[0], identifier);
    FreeQueryRecord(list.records[0], *parsed);
    list.records[0] = nullptr;
    return SendFindRequest(pdu, identifier, sopClassUid);
}

int32_t ReadFindResult(PDU& pdu, QueryLevel level, void*& record) {
    record = nullptr;
    ElementList identifier;
    bool explicitVR = false;
    int32_t status = ReadFindResponse(pdu, identifier, explicitVR);
    if (status == kNoResponse || status == 0) return status;
    record = RecordFromIdentifier(level, identifier, explicitVR);
    if (record == nullptr) return kNoResponse;
    if (!IsPendingStatus(status)) {
        char text[64];
        std::snprintf(text, sizeof text, "C-FIND ended with status 0x%04X", unsigned(status));
        LogFailure(text);
    }
    return status;
}

int32_t ReadFindRSP(PDU& pdu, QueryRecordList& list, const char* level) {
    std::optional<QueryLevel> parsed = ParseQueryLevel(level);
    if (!parsed) {
        ElementList ignored;
        bool explicitVR = false;
        return ReadFindResponse(pdu, ignored, explicitVR);
    }
    void* record = nullptr;
    int32_t status = ReadFindResult(pdu, *parsed, record);
    if (record != nullptr) list.records.push_back(record);
    return status;
}

bool FindSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called, const char* level, QueryRecordList& list) {
    std::optional<QueryLevel> parsed = QueryRetrieveLevel(level);
    if (!parsed) return false;
    // The PATIENT level exists in the Patient Root model only.
    const char* model = *parsed == QueryLevel::Patient ? kPatientRootFind : kStudyRootFind;
    PDU pdu;
    if (!OpenAssoc(pdu, host, port, calling, called, model, "")) return false;
    bool written = WriteFindRQ(pdu, list, model, level);
    list.records.clear();  // its query record has been freed
    bool success = false;
    if (written) {
        int32_t status;
        do {
            status = ReadFindRSP(pdu, list, level);
            if (status == 0) success = true;
        } while (IsPendingStatus(status));
    }
    ReleaseAssociation(pdu);
    return success;
}

}  // namespace pella
