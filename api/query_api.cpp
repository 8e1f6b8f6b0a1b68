// Exported query and retrieve functions: C-FIND, the worklist query, C-MOVE.
#include "api/boundary.h"
#include "api/calling_title.h"
#include "api/live_handles.h"
#include "api/live_query_records.h"
#include "api/move_counts.h"
#include "log/protocol_log.h"
#include "pella.h"
#include "services/query/find.h"
#include "services/query/find_each.h"
#include "services/query/move.h"
#include "services/query/worklist.h"

using namespace pella;

namespace {

// One C-MOVE-RSP with its counts: [0] remaining, [1] completed, [2] failed, [3] warning.
int32_t ReadMoveResponse(const char* function, PDU* handle, int32_t* counts) {
    return Guarded<int32_t>(function, -1, [&] {
        RequireArguments(handle);
        RequireLive(HandleKind::Association, handle);
        MoveCounts read{counts ? counts[0] : -1, counts ? counts[1] : -1, counts ? counts[2] : -1,
                        counts ? counts[3] : -1};
        int32_t status = pella::ReadMoveRSP(*handle, read);
        WriteMoveCounts(read, counts);
        return status;
    });
}

// The level of a C-FIND or C-MOVE identifier, without logging: the call itself reports a bad one.
std::optional<QueryLevel> RetrieveLevel(const char* level) {
    std::optional<QueryLevel> parsed = ParseQueryLevel(level);
    if (parsed == QueryLevel::Worklist) return std::nullopt;
    return parsed;
}

}  // namespace

extern "C" {

PELLA_API uint8_t WriteFindRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid,
                              const char* level) {
    return Guarded<uint8_t>("WriteFindRQ", 0, [&]() -> uint8_t {
        RequireArguments(handle, list);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = RetrieveLevel(level);
        if (parsed) RequireQueryInSlotZero(*list, *parsed);
        RecordListWatch watch(*list, parsed, true);
        return pella::WriteFindRQ(*handle, *list, Text(sopClassUid), level) ? 1 : 0;
    });
}

PELLA_API int32_t ReadFindRSP(PDU* handle, QueryRecordList* list, const char* level) {
    return Guarded<int32_t>("ReadFindRSP", -1, [&] {
        RequireArguments(handle, list);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::QueryRecordList, list);
        RecordListWatch watch(*list, ParseQueryLevel(level), false);
        return pella::ReadFindRSP(*handle, *list, level);
    });
}

PELLA_API uint8_t FindSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                          const char* level, QueryRecordList* list) {
    return Guarded<uint8_t>("FindSCU", 0, [&] {
        RequireArguments(list);
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = RetrieveLevel(level);
        if (parsed) RequireQueryInSlotZero(*list, *parsed);
        RecordListWatch watch(*list, parsed, true);
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::FindSCU(Text(host), Text(port), calling, Text(calledAETitle), level, *list);
        });
    });
}

PELLA_API void ClearQuery(QueryRecordList* list, const char* level) {
    GuardedVoid("ClearQuery", [&] {
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        if (list != nullptr && parsed) FreeLiveRecords(*list, *parsed);
    });
}

PELLA_API int32_t FindEach(PDU* handle, const void* record, const char* sopClassUid, const char* level,
                           FindMatchCallback callback, void* context) {
    return Guarded<int32_t>("FindEach", -1, [&]() -> int32_t {
        RequireArguments(handle, record);
        RequireLive(HandleKind::Association, handle);
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        if (parsed) RequireQueryRecord(record, *parsed);
        if (!parsed) {
            LogFailure(std::string("FindEach: level \"") + Text(level) +
                       "\" is none of PATIENT, STUDY, SERIES, IMAGE and WORKLIST; nothing is sent");
            return -1;
        }
        int32_t number = 0;
        return pella::FindEach(*handle, *parsed, record, Text(sopClassUid), [&](const void* match) {
            ++number;
            if (callback != nullptr) callback(match, number, context);
        });
    });
}

PELLA_API uint8_t WriteWLFindRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid) {
    return Guarded<uint8_t>("WriteWLFindRQ", 0, [&]() -> uint8_t {
        RequireArguments(handle, list);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::QueryRecordList, list);
        RequireQueryInSlotZero(*list, QueryLevel::Worklist);
        return pella::WriteWLFindRQ(*handle, *list, Text(sopClassUid)) ? 1 : 0;
    });
}

PELLA_API int32_t ReadWLFindRSP(PDU* handle, QueryRecordList* list) {
    return Guarded<int32_t>("ReadWLFindRSP", -1, [&] {
        RequireArguments(handle, list);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::QueryRecordList, list);
        RecordListWatch watch(*list, QueryLevel::Worklist, false);
        return pella::ReadWLFindRSP(*handle, *list);
    });
}

PELLA_API void ClearWL(QueryRecordList* list) {
    GuardedVoid("ClearWL", [&] {
        RequireLive(HandleKind::QueryRecordList, list);
        if (list != nullptr) FreeLiveRecords(*list, QueryLevel::Worklist);
    });
}

PELLA_API uint8_t WriteMoveRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid, const char* level,
                              const char* moveDestination) {
    return Guarded<uint8_t>("WriteMoveRQ", 0, [&]() -> uint8_t {
        RequireArguments(handle, list);
        RequireLive(HandleKind::Association, handle);
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = RetrieveLevel(level);
        if (parsed) RequireQueryInSlotZero(*list, *parsed);
        RecordListWatch watch(*list, parsed, true);
        return pella::WriteMoveRQ(*handle, *list, Text(sopClassUid), level, Text(moveDestination)) ? 1 : 0;
    });
}

PELLA_API int32_t ReadMoveRSPCounts(PDU* handle, int32_t* counts) {
    return ReadMoveResponse("ReadMoveRSPCounts", handle, counts);
}

PELLA_API int32_t ReadMoveRSP(PDU* handle, int32_t* remaining) {
    int32_t counts[4] = {remaining ? *remaining : -1, -1, -1, -1};
    int32_t status = ReadMoveResponse("ReadMoveRSP", handle, counts);
    if (remaining) *remaining = counts[0];
    return status;
}

PELLA_API uint8_t MoveSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                          const char* moveDestination, const char* level, QueryRecordList* list) {
    return Guarded<uint8_t>("MoveSCU", 0, [&] {
        RequireArguments(list);
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = RetrieveLevel(level);
        if (parsed) RequireQueryInSlotZero(*list, *parsed);
        RecordListWatch watch(*list, parsed, true);
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::MoveSCU(Text(host), Text(port), calling, Text(calledAETitle), Text(moveDestination),
                                  level, *list);
        });
    });
}

}  // extern "C"
