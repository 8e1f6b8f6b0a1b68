#include "app/query_memo.h"

namespace pellatool {

void QueryMemo::Add(const void* record) {
    ++count_;
    for (const auto& [caption, position] : captions_) {
        const char* value = GetQueryField(record, level_, position);
        lines_.push_back(std::string(caption) + (value != nullptr ? value : ""));
    }
    lines_.emplace_back();
}

void QueryMemo::Show(const MemoSink& memo) const {
    memo("No studies: " + std::to_string(count_));
    memo("");
    for (const std::string& line : lines_) memo(line);
}

}  // namespace pellatool
