#include "services/query/find_each.h"

#include <memory>

#include "services/query/find.h"
#include "services/query/query_identifiers.h"

namespace pella {

namespace {

struct RecordFree {
    QueryLevel level;
    void operator()(void* record) const { FreeQueryRecord(record, level); }
};

}  // namespace

int32_t FindEach(PDU& pdu, QueryLevel level, const void* record, const std::string& sopClassUid,
                 const MatchHandler& onMatch) {
    ElementList identifier;
    BuildIdentifier(level, record, identifier);
    if (!SendFindRequest(pdu, identifier, sopClassUid)) return kNoResponse;
    for (;;) {
        void* received = nullptr;
        int32_t status = ReadFindResult(pdu, level, received);
        std::unique_ptr<void, RecordFree> match(received, RecordFree{level});
        if (!IsPendingStatus(status)) return status;
        if (match && onMatch) onMatch(match.get());
    }
}

}  // namespace pella
