#include "cli/element_lists.h"

#include <cstdio>

#include "cli/network_options.h"

namespace cli {

namespace {

void PrintLine(const char* line, void* /*context*/) { std::printf("%s\n", line); }

}  // namespace

OwnedList NewList() { return OwnedList(CreateElementList()); }

void PrintUnreadableFile(const char* command, const std::string& file) {
    std::string reason = FailureReason("not a readable DICOM Part 10 file");
    std::fprintf(stderr, "pella %s: cannot read '%s': %s\n", command, file.c_str(), reason.c_str());
}

void PrintMemoDump(ElementList* list, bool keepVR) {
    DumpListToLines(list, keepVR ? 1 : 0, PrintLine, nullptr);
}

}  // namespace cli
