#include "app/query_memo.h"

#include <string>

namespace pellatool {

void ShowQueryRecords(const MemoSink& memo, const QueryRecordList* list, const char* level,
                      std::span<const FieldCaption> captions) {
    int32_t count = QueryRecordCount(list);
    memo("No studies: " + std::to_string(count));
    memo("");
    for (int32_t i = 0; i < count; ++i) {
        const void* record = QueryRecordAt(list, i);
        for (const auto& [caption, position] : captions) {
            const char* value = GetQueryField(record, level, position);
            memo(std::string(caption) + (value != nullptr ? value : ""));
        }
        memo("");
    }
}

}  // namespace pellatool
