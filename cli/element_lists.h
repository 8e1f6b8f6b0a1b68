// Element lists owned by the command-line tool, and their dump to standard output.
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

// Prints "pella COMMAND: cannot read 'FILE': <the library's reason>" to standard error, right
// after DICOMFile or DICOMHeader failed.
void PrintUnreadableFile(const char* command, const std::string& file);

// Prints the memo dump of `list` (DumpListToLines), one line per element.
void PrintMemoDump(ElementList* list, bool keepVR);

}  // namespace cli
