// pella elements FILE...: lists the meta and data-set elements of Part 10 files.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "cli/file_command.h"
#include "pella.h"

namespace cli {

namespace {

CommandSpec Spec() {
    CommandSpec spec = FileCommandSpec(
        "elements", "pella elements [options] FILE...",
        "Reads DICOM Part 10 files and lists their meta elements and their data-set elements in\n"
        "file order: tag, VR, length and a short preview of the value. With several files, a\n"
        "line \"# FILE\" precedes each file's elements.");
    spec.options.push_back(
        {{"--max-preview"}, "N", "show at most N characters or bytes of each value (default 48)"});
    return spec;
}

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

void AppendList(std::string& out, const char* title, const ElementList* list, std::size_t limit) {
    out += "# " + std::string(title) + ": " + std::to_string(ElementCount(list)) + " elements\n";
    char line[64];
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        const DataElement& e = *ElementAt(list, i);
        std::string vr = e.vr[0] ? std::string(e.vr, 2) : "--";
        std::snprintf(line, sizeof line, "(%04X,%04X) %s %10d ", e.group, e.element, vr.c_str(), e.length);
        out += line + Preview(e, limit) + "\n";
    }
}

FileOutput ListElements(const std::string& file, std::size_t limit) {
    FileLists lists;
    if (!ReadFileLists(file, lists)) return ReadFailure("elements", file);
    FileOutput output;
    AppendList(output.out, "meta information", lists.meta.get(), limit);
    AppendList(output.out, lists.explicitVR ? "data set (explicit VR)" : "data set (implicit VR)",
               lists.data.get(), limit);
    return output;
}

}  // namespace

int RunElements(const std::vector<std::string>& argv) {
    const CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    std::size_t limit = 48;
    if (auto value = args.Value("--max-preview")) {
        long n = 0;
        if (!ParseNumber(*value, 1, 100000, n)) {
            std::fprintf(stderr, "pella elements: --max-preview wants a number from 1 to 100000\n");
            return 2;
        }
        limit = static_cast<std::size_t>(n);
    }
    return RunOverFiles("elements", args, true,
                        [limit](const std::string& file) { return ListElements(file, limit); });
}

}  // namespace cli
