#include "cli/element_lists.h"

#include <cstdio>

namespace cli {

namespace {

void PrintLine(const char* line, void* /*context*/) { std::printf("%s\n", line); }

}  // namespace

OwnedList NewList() { return OwnedList(CreateElementList()); }

void PrintMemoDump(ElementList* list, bool keepVR) {
    DumpListToLines(list, keepVR ? 1 : 0, PrintLine, nullptr);
}

}  // namespace cli
