#include "app/header_dump.h"

#include "pella.h"

namespace pellatool {
namespace {

void CollectLine(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(line);
}

}  // namespace

std::vector<std::string> DumpFileLines(const std::string& fileName) {
    ElementList* meta = CreateElementList();
    ElementList* data = CreateElementList();
    uint8_t isExplicit = 1;
    std::vector<std::string> lines;
    lines.emplace_back("Dump OK!");
    bool dumped = DICOMFile(fileName.c_str(), meta, data, &isExplicit) == 1 &&
                  DumpListToLines(meta, 1, CollectLine, &lines) == 1 &&
                  DumpListToLines(data, isExplicit, CollectLine, &lines) == 1;
    if (!dumped) lines.assign(1, "Dump Failed!");
    DestroyElementList(meta);
    DestroyElementList(data);
    return lines;
}

}  // namespace pellatool
