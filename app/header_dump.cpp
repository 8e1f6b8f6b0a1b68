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
    if (DICOMFile(fileName.c_str(), meta, data, &isExplicit) == 1) {
        lines.emplace_back("Dump OK!");
        DumpListToLines(meta, 1, CollectLine, &lines);
        DumpListToLines(data, isExplicit, CollectLine, &lines);
    } else {
        lines.emplace_back("Dump Failed!");
    }
    DestroyElementList(meta);
    DestroyElementList(data);
    return lines;
}

}  // namespace pellatool
