// The memo lines of a query's matches: "No studies: <count>", an empty line, then per match one
// line per caption with the record's field at the caption's position, and an empty line.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/service_run.h"
#include "pella.h"

namespace pellatool {

using FieldCaption = std::pair<const char*, int>;  // caption, record position

class QueryMemo {
public:
    QueryMemo(const char* level, std::span<const FieldCaption> captions)
        : level_(level), captions_(captions) {}

    // Keeps the lines of one match (the record need not outlive the call).
    void Add(const void* record);
    // Writes the count and every match's lines.
    void Show(const MemoSink& memo) const;

private:
    const char* level_;
    std::span<const FieldCaption> captions_;
    long count_ = 0;
    std::vector<std::string> lines_;
};

}  // namespace pellatool
