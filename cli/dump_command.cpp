// pella dump FILE...: the meta and data-set elements of Part 10 files with dictionary names, or
// their data sets in the DICOM JSON model.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/element_lists.h"
#include "cli/file_command.h"
#include "pella.h"

namespace cli {

namespace {

constexpr int32_t kDefaultInlineLimit = 1024;

CommandSpec Spec() {
    CommandSpec spec = FileCommandSpec(
        "dump", "pella dump [options] FILE...",
        "Reads DICOM Part 10 files and prints one line per element, file meta information first,\n"
        "then the data set: \"(gggg, eeee), length, VR  \\\"value\\\" - name\", with names from the\n"
        "built-in data dictionary. Values of 256 bytes or more are not shown; elements inside\n"
        "undefined-length items are prefixed with \".....\". Implicit VR data sets show the\n"
        "dictionary's VRs. With several files, a line \"# FILE\" precedes each file's elements.\n"
        "\n"
        "With --json, each file's data set is printed in the DICOM JSON model (file meta\n"
        "information left out), one JSON document per line (JSON Lines). Texts are UTF-8,\n"
        "decoded by the Specific Character Set; bytes that cannot be decoded become U+FFFD.\n"
        "Binary values (OB, OW, OF, OD, OL, OV, UN and encapsulated pixel data) of up to 1024\n"
        "bytes are given inline (\"InlineBinary\", base64); longer ones, the pixel data above all,\n"
        "as \"BulkDataURI\": file:///absolute/path?offset=N&length=M, where the value's bytes\n"
        "stand in the file (for encapsulated pixel data: its items, headers included). --bulk\n"
        "puts every value inline instead.");
    spec.options.push_back({{"--json"}, "", "print the DICOM JSON model, one line per file"});
    spec.options.push_back({{"--bulk"}, "", "with --json: every binary value inline, whatever its size"});
    spec.options.push_back(
        {{"--inline-limit"}, "N", "with --json: inline binary values of up to N bytes (default 1024)"});
    return spec;
}

FileOutput TextDump(const std::string& file) {
    FileLists lists;
    if (!ReadFileLists(file, lists)) return ReadFailure("dump", file);
    FileOutput output;
    if (!AppendMemoDump(output.out, lists.meta.get(), true) ||
        !AppendMemoDump(output.out, lists.data.get(), lists.explicitVR))
        return ReadFailure("dump", file);
    return output;
}

FileOutput JsonDump(const std::string& file, int32_t inlineLimit) {
    char* text = DICOMJson(file.c_str(), inlineLimit);
    if (text == nullptr) return ReadFailure("dump", file);
    FileOutput output;
    output.out = text;
    output.out += '\n';
    FreeText(text);
    return output;
}

bool ParseInlineLimit(const Args& args, int32_t& limit) {
    limit = args.Has("--bulk") ? -1 : kDefaultInlineLimit;
    auto value = args.Value("--inline-limit");
    if (!value || args.Has("--bulk")) return true;
    long n = 0;
    if (!ParseNumber(*value, 0, INT32_MAX, n)) return false;
    limit = static_cast<int32_t>(n);
    return true;
}

}  // namespace

int RunDump(const std::vector<std::string>& argv) {
    const CommandSpec spec = Spec();
    Args args;
    if (int exit = ParseOrExit(spec, argv, args); exit >= 0) return exit;
    if (!args.Has("--json")) {
        if (args.Has("--bulk") || args.Has("--inline-limit")) {
            std::fprintf(stderr, "pella dump: --bulk and --inline-limit go with --json\n");
            return 2;
        }
        return RunOverFiles("dump", args, true, TextDump);
    }
    int32_t inlineLimit = 0;
    if (!ParseInlineLimit(args, inlineLimit)) {
        std::fprintf(stderr, "pella dump: --inline-limit wants a number of bytes\n");
        return 2;
    }
    return RunOverFiles("dump", args, false,
                        [inlineLimit](const std::string& file) { return JsonDump(file, inlineLimit); });
}

}  // namespace cli
