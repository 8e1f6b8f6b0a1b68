// pella elements FILE: lists the meta and data-set elements of a Part 10 file.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "elements",
    "pella elements [options] FILE",
    "Reads a DICOM Part 10 file and lists its meta elements and its data-set elements in file\n"
    "order: tag, VR, length and a short preview of the value.",
    {{{"--max-preview"}, "N", "show at most N characters or bytes of each value (default 48)"}},
    1,
    1,
};

bool IsTextVR(const char* vr) {
    static const char* const kText[] = {"AE", "AS", "CS", "DA", "DS", "DT", "IS", "LO",
                                        "LT", "PN", "SH", "ST", "TM", "UI", "UT"};
    for (const char* t : kText)
        if (vr[0] == t[0] && vr[1] == t[1]) return true;
    return false;
}

std::string Preview(const DataElement& e, std::size_t limit) {
    if (e.length == -1) return "(undefined length)";
    if (e.length <= 0) return "";
    std::size_t n = static_cast<std::size_t>(e.length);
    std::string out;
    if (IsTextVR(e.vr)) {
        for (std::size_t i = 0; i < n && out.size() < limit; ++i) {
            unsigned char c = e.value[i];
            if (c == 0) break;
            out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return "\"" + out + "\"" + (n > limit ? "..." : "");
    }
    char hex[4];
    for (std::size_t i = 0; i < n && i < limit / 3 + 1; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", e.value[i]);
        out += hex;
    }
    if (!out.empty()) out.pop_back();
    if (n > limit / 3 + 1) out += " ...";
    return out;
}

void PrintList(const char* title, const ElementList* list, std::size_t limit) {
    std::printf("# %s: %d elements\n", title, ElementCount(list));
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement& e = *ElementAt(list, i);
        std::string vr = e.vr[0] ? std::string(e.vr, 2) : "--";
        std::printf("(%04X,%04X) %s %10d %s\n", e.group, e.element, vr.c_str(), e.length,
                    Preview(e, limit).c_str());
    }
}

}  // namespace

int RunElements(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    std::size_t limit = 48;
    if (auto value = args.Value("--max-preview")) {
        char* end = nullptr;
        long n = std::strtol(value->c_str(), &end, 10);
        if (end == value->c_str() || *end != '\0' || n < 1 || n > 100000) {
            std::fprintf(stderr, "pella elements: --max-preview wants a number from 1 to 100000\n");
            return 2;
        }
        limit = static_cast<std::size_t>(n);
    }
    const std::string& file = args.Positionals()[0];
    OwnedList meta = NewList();
    OwnedList data = NewList();
    uint8_t explicitVR = 0;
    if (!DICOMFile(file.c_str(), meta.get(), data.get(), &explicitVR)) {
        PrintUnreadableFile("elements", file);
        return 1;
    }
    PrintList("meta information", meta.get(), limit);
    PrintList(explicitVR ? "data set (explicit VR)" : "data set (implicit VR)", data.get(), limit);
    return 0;
}

}  // namespace cli
