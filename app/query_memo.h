// The memo lines of a query's matches: "No studies: <count>", an empty line, then per record one
// line per caption with the record's field at the caption's position, and an empty line.
#pragma once

#include <span>
#include <utility>

#include "app/service_run.h"
#include "pella.h"

namespace pellatool {

using FieldCaption = std::pair<const char*, int>;  // caption, record position

void ShowQueryRecords(const MemoSink& memo, const QueryRecordList* list, const char* level,
                      std::span<const FieldCaption> captions);

}  // namespace pellatool
