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

// The meta and data-set lists of a Part 10 file (DICOMFile).
struct FileLists {
    OwnedList meta;
    OwnedList data;
    bool explicitVR = true;
};

// Reads the file; false when it is not a readable Part 10 file.
bool ReadFileLists(const std::string& file, FileLists& out);

// Appends the memo dump of `list` (DumpListToLines) to `out`, one line per element; false
// when the list nests too deep to dump.
bool AppendMemoDump(std::string& out, ElementList* list, bool keepVR);

}  // namespace cli
