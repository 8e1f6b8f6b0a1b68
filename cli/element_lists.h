// Element lists owned by the command-line tool, and their memo dump as text.
#pragma once

#include <memory>
#include <string>

#include "pella.h"

namespace cli {

struct ListOwner {
    void operator()(ElementList* list) const noexcept { DestroyElementList(list); }
};
using OwnedList = std::unique_ptr<ElementList, ListOwner>;

// A new, empty list.
OwnedList NewList();

// Appends the memo dump of `list` (DumpListToLines) to `out`, one line per element.
void AppendMemoDump(std::string& out, ElementList* list, bool keepVR);

}  // namespace cli
