#include "services/query/move.h"

#include <cstdio>

#include "data/registry/dimse_statuses.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "services/query/query_identifiers.h"
#include "services/query/query_messages.h"

namespace pella {

namespace {

constexpr int32_t kNoResponse = -1;

int32_t CountOf(const std::optional<uint16_t>& value) {
    return value ? int32_t(*value) : -1;
}

}  // namespace

bool WriteMoveRQ(PDU& pdu, QueryRecordList& list, const std::string& sopClassUid, const char* level,
                 const std::string& moveDestination) {
    std::optional<QueryLevel> parsed = QueryRetrieveLevel(level);
    if (!parsed) return false;
    if (moveDestination.empty() || moveDestination.size() > 16) {
        LogFailure("C-MOVE: the move destination \"" + moveDestination +
                   "\" is not an AE title of 1 to 16 characters");
        return false;
    }
    if (list.records.empty()) {
        LogFailure("C-MOVE: the record list holds no query record");
        return false;
    }
    ElementList identifier;
    BuildIdentifier(*parsed, list.records[0], identifier);
    FreeQueryRecord(list.records[0], *parsed);
    list.records[0] = nullptr;
    return SendQueryRequest(pdu, sopClassUid, kCMoveRQ, moveDestination, identifier);
}

int32_t ReadMoveRSP(PDU& pdu, MoveCounts& counts) {
    QueryResponse response;
    ElementList ignored;  // a data set a response announces is read and dropped
    if (!ReadQueryResponse(pdu, response, ignored)) {
        if (response.commandField != 0) counts = MoveCounts{};  // the data set failed
        return kNoResponse;
    }
    counts = MoveCounts{};
    if (!IsValidResponse(response, kCMoveRSP, "C-MOVE-RSP")) return kNoResponse;
    counts.remaining = response.remaining ? int32_t(*response.remaining) : 0;
    counts.completed = CountOf(response.completed);
    counts.failed = CountOf(response.failed);
    counts.warning = CountOf(response.warning);
    if (*response.status != kStatusSuccess && *response.status != kStatusPending) {
        char text[64];
        std::snprintf(text, sizeof text, "C-MOVE ended with status 0x%04X", unsigned(*response.status));
        LogFailure(text);
    }
    return *response.status;
}

bool MoveSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called, const std::string& moveDestination, const char* level,
             QueryRecordList& list) {
    if (!QueryRetrieveLevel(level)) return false;
    PDU pdu;
    if (!OpenAssoc(pdu, host, port, calling, called, kStudyRootMove, "")) return false;
    bool written = WriteMoveRQ(pdu, list, kStudyRootMove, level, moveDestination);
    list.records.clear();
    int32_t status = kNoResponse;
    if (written) {
        MoveCounts counts;
        do {
            status = ReadMoveRSP(pdu, counts);
        } while (status == kStatusPending);  // C-MOVE knows no other pending status
    }
    ReleaseAssociation(pdu);
    return status == 0;
}

}  // namespace pella
