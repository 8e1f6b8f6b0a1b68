#include "services/query/query_records.h"

#include <cstdlib>
#include <cstring>

#include "log/protocol_log.h"

namespace pella {

namespace {

char** Texts(void* record) {
    return static_cast<char**>(record);
}
char* const* Texts(const void* record) {
    return static_cast<char* const*>(record);
}

}  // namespace

std::optional<QueryLevel> ParseQueryLevel(const char* level) {
    if (level == nullptr) return std::nullopt;
    if (std::strcmp(level, "STUDY") == 0) return QueryLevel::Study;
    if (std::strcmp(level, "SERIES") == 0) return QueryLevel::Series;
    if (std::strcmp(level, "IMAGE") == 0) return QueryLevel::Image;
    if (std::strcmp(level, "WORKLIST") == 0) return QueryLevel::Worklist;
    if (std::strcmp(level, "PATIENT") == 0) return QueryLevel::Patient;
    return std::nullopt;
}

std::optional<QueryLevel> QueryRetrieveLevel(const char* level) {
    std::optional<QueryLevel> parsed = ParseQueryLevel(level);
    if (parsed && *parsed != QueryLevel::Worklist) return parsed;
    LogFailure(std::string("Query/retrieve level \"") + (level ? level : "(none)") +
               "\" is none of PATIENT, STUDY, SERIES and IMAGE; nothing is sent");
    return std::nullopt;
}

const char* LevelText(QueryLevel level) {
    switch (level) {
        case QueryLevel::Study:
            return "STUDY";
        case QueryLevel::Series:
            return "SERIES";
        case QueryLevel::Image:
            return "IMAGE";
        case QueryLevel::Worklist:
            return "WORKLIST";
        case QueryLevel::Patient:
            return "PATIENT";
    }
    return "";
}

void* NewQueryRecord(QueryLevel level) {
    return std::calloc(QueryFields(level).size(), sizeof(char*));
}

void FreeQueryRecord(void* record, QueryLevel level) {
    if (record == nullptr) return;
    for (std::size_t i = 0; i < QueryFields(level).size(); ++i) std::free(Texts(record)[i]);
    std::free(record);
}

bool SetQueryField(void* record, QueryLevel level, int position, const char* text, std::size_t length) {
    if (record == nullptr || position < 0 || std::size_t(position) >= QueryFields(level).size()) return false;
    char*& slot = Texts(record)[position];
    char* copy = nullptr;
    if (text != nullptr && length > 0) {
        copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr) return false;
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    std::free(slot);
    slot = copy;
    return true;
}

std::string QueryFieldText(const void* record, QueryLevel level, int position) {
    if (record == nullptr || position < 0 || std::size_t(position) >= QueryFields(level).size()) return "";
    const char* text = Texts(record)[position];
    return text ? text : "";
}

void ClearRecords(QueryRecordList& list, QueryLevel level) {
    for (void* record : list.records) FreeQueryRecord(record, level);
    list.records.clear();
}

}  // namespace pella
