// Exported C-GET function: the objects an archive holds, fetched on one association into a folder.
#include <stdexcept>
#include "api/boundary.h"
#include "api/calling_title.h"
#include "api/live_handles.h"
#include "api/live_query_records.h"
#include "api/move_counts.h"
#include "data/registry/sop_classes.h"
#include "pella.h"
#include "services/archive/get_user.h"
#include "services/query/query_identifiers.h"
#include "services/query/query_records.h"

using namespace pella;

namespace {

// The GET class of the information model a C-FIND or C-MOVE class (or the GET class itself)
// belongs to; empty for any other class.
std::string GetClassOfModel(const std::string& sopClassUid) {
    const SopClassInfo* info = FindSopClass(sopClassUid);
    if (!info || (info->queryModel != QueryModel::kPatientRoot && info->queryModel != QueryModel::kStudyRoot))
        return "";
    for (const SopClassInfo& candidate : SopClasses())
        if (candidate.queryModel == info->queryModel && candidate.queryOperation == QueryOperation::kGet)
            return candidate.uid;
    return "";
}

}  // namespace

extern "C" {

PELLA_API int32_t GetSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                         const char* sopClassUid, const char* level, QueryRecordList* list,
                         const char* outDir, int32_t* counts) {
    return Guarded<int32_t>("GetSCU", -1, [&]() -> int32_t {
        RequireArguments(list, outDir);
        RequireLive(HandleKind::QueryRecordList, list);
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        if (!parsed || *parsed == QueryLevel::Worklist) throw std::invalid_argument("level");
        RequireQueryInSlotZero(*list, *parsed);
        GetTarget target{Text(host), Text(port), "", Text(calledAETitle), GetClassOfModel(Text(sopClassUid)),
                         outDir};
        if (target.sopClass.empty()) throw std::invalid_argument("sopClassUid");
        if (list->records.empty() || list->records[0] == nullptr) throw std::invalid_argument("list");
        RecordListWatch watch(*list, parsed, true);
        ElementList identifier;
        BuildIdentifier(*parsed, list->records[0], identifier);
        FreeQueryRecord(list->records[0], *parsed);
        list->records[0] = nullptr;
        MoveCounts read;
        int32_t status = -1;
        WithCallingTitle(callingAETitle, [&](std::string& calling) {
            target.calling = calling;
            status = GetObjects(target, identifier, read);
            calling = target.calling;  // the default title when none was given
            return status == 0;
        });
        WriteMoveCounts(read, counts);
        return status;
    });
}

}  // extern "C"
