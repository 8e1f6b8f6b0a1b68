#include "cli/element_lists.h"

namespace cli {

namespace {

void AppendLine(const char* line, void* context) {
    std::string& out = *static_cast<std::string*>(context);
    out += line;
    out += '\n';
}

}  // namespace

OwnedList NewList() { return OwnedList(CreateElementList()); }

void AppendMemoDump(std::string& out, ElementList* list, bool keepVR) {
    DumpListToLines(list, keepVR ? 1 : 0, AppendLine, &out);
}

}  // namespace cli
