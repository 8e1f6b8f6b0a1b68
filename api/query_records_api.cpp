// Exported helpers for query records and record lists.
#include <cstring>
#include <memory>

#include "api/boundary.h"
#include "api/live_handles.h"
#include "api/live_query_records.h"
#include "pella.h"
#include "services/query/query_records.h"

using namespace pella;

namespace {

// The field at a position of the level's record; null for an unknown level or a bad position.
const QueryField* FieldAt(const char* level, int32_t position) {
    std::optional<QueryLevel> parsed = ParseQueryLevel(level);
    if (!parsed || position < 0 || std::size_t(position) >= QueryFields(*parsed).size()) return nullptr;
    return &QueryFields(*parsed)[std::size_t(position)];
}

}  // namespace

extern "C" {

PELLA_API void* NewQueryRecord(const char* level) {
    return Guarded<void*>("NewQueryRecord", nullptr, [&]() -> void* {
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        if (!parsed) return nullptr;
        void* record = pella::NewQueryRecord(*parsed);
        try {
            RegisterQueryRecord(record, *parsed);
        } catch (...) {
            pella::FreeQueryRecord(record, *parsed);
            throw;
        }
        return record;
    });
}

PELLA_API void FreeQueryRecord(void* record, const char* level) {
    GuardedVoid("FreeQueryRecord", [&] {
        if (std::optional<QueryLevel> parsed = ParseQueryLevel(level)) {
            ReleaseQueryRecord(record, *parsed);
            pella::FreeQueryRecord(record, *parsed);
        }
    });
}

PELLA_API int32_t QueryFieldCount(const char* level) {
    return Guarded<int32_t>("QueryFieldCount", 0, [&] {
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        return parsed ? int32_t(QueryFields(*parsed).size()) : 0;
    });
}

PELLA_API uint8_t QueryFieldInfo(const char* level, int32_t position, uint16_t* group, uint16_t* element,
                                 char* vr3, const char** keyword) {
    return Guarded<uint8_t>("QueryFieldInfo", 0, [&]() -> uint8_t {
        const QueryField* field = FieldAt(level, position);
        if (field == nullptr) return 0;
        if (group) *group = field->group;
        if (element) *element = field->element;
        if (vr3) {
            std::strncpy(vr3, field->vr, 2);
            vr3[2] = '\0';
        }
        if (keyword) *keyword = field->keyword;
        return 1;
    });
}

PELLA_API uint8_t QueryFieldSequence(const char* level, int32_t position, uint16_t* group,
                                     uint16_t* element) {
    return Guarded<uint8_t>("QueryFieldSequence", 0, [&]() -> uint8_t {
        const QueryField* field = FieldAt(level, position);
        if (field == nullptr || !field->inStep) return 0;
        if (group) *group = kStepSequenceGroup;
        if (element) *element = kStepSequenceElement;
        return 1;
    });
}

PELLA_API uint8_t SetQueryField(void* record, const char* level, int32_t position, const char* text) {
    return Guarded<uint8_t>("SetQueryField", 0, [&]() -> uint8_t {
        std::optional<QueryLevel> parsed = ParseQueryLevel(level);
        if (!parsed) return 0;
        return pella::SetQueryField(record, *parsed, position, text, text ? std::strlen(text) : 0) ? 1 : 0;
    });
}

PELLA_API const char* GetQueryField(const void* record, const char* level, int32_t position) {
    return Guarded<const char*>("GetQueryField", nullptr, [&]() -> const char* {
        if (record == nullptr || FieldAt(level, position) == nullptr) return nullptr;
        const char* text = static_cast<char* const*>(record)[position];
        return text ? text : "";
    });
}

PELLA_API QueryRecordList* NewQueryRecordList(void) {
    return Guarded<QueryRecordList*>("NewQueryRecordList", nullptr, [] {
        auto list = std::make_unique<QueryRecordList>();
        RegisterHandle(HandleKind::QueryRecordList, list.get());
        return list.release();
    });
}

PELLA_API void AppendQueryRecord(QueryRecordList* list, void* record) {
    GuardedVoid("AppendQueryRecord", [&] {
        RequireLive(HandleKind::QueryRecordList, list);
        if (list != nullptr) list->records.push_back(record);
    });
}

PELLA_API int32_t QueryRecordCount(const QueryRecordList* list) {
    return Guarded<int32_t>("QueryRecordCount", 0, [&] {
        RequireLive(HandleKind::QueryRecordList, list);
        return list ? int32_t(list->records.size()) : 0;
    });
}

PELLA_API void* QueryRecordAt(const QueryRecordList* list, int32_t index) {
    return Guarded<void*>("QueryRecordAt", nullptr, [&]() -> void* {
        RequireLive(HandleKind::QueryRecordList, list);
        if (list == nullptr || index < 0 || std::size_t(index) >= list->records.size()) return nullptr;
        return list->records[std::size_t(index)];
    });
}

PELLA_API void EmptyQueryRecordList(QueryRecordList* list) {
    GuardedVoid("EmptyQueryRecordList", [&] {
        RequireLive(HandleKind::QueryRecordList, list);
        if (list != nullptr) list->records.clear();
    });
}

PELLA_API void FreeQueryRecordList(QueryRecordList* list, const char* level) {
    GuardedVoid("FreeQueryRecordList", [&] {
        if (list == nullptr) return;
        RequireLive(HandleKind::QueryRecordList, list);
        if (std::optional<QueryLevel> parsed = ParseQueryLevel(level)) FreeLiveRecords(*list, *parsed);
        ReleaseHandle(HandleKind::QueryRecordList, list);
        delete list;
    });
}

}  // extern "C"
