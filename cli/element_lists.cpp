#include "cli/element_lists.h"

namespace cli {

namespace {

void AppendLine(const char* line, void* context) {
    std::string& out = *static_cast<std::string*>(context);
    out += line;
    out += '\n';
}

}  // namespace

OwnedList NewList() {
    return OwnedList(CreateElementList());
}

bool ReadFileLists(const std::string& file, FileLists& out) {
    out.meta = NewList();
    out.data = NewList();
    uint8_t explicitVR = 1;
    if (!out.meta || !out.data || !DICOMFile(file.c_str(), out.meta.get(), out.data.get(), &explicitVR))
        return false;
    out.explicitVR = explicitVR != 0;
    return true;
}

bool AppendMemoDump(std::string& out, ElementList* list, bool keepVR) {
    return DumpListToLines(list, keepVR ? 1 : 0, AppendLine, &out) != 0;
}

}  // namespace cli
