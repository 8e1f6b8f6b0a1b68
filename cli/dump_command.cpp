// pella dump FILE...: the meta and data-set elements of Part 10 files with dictionary names, or
// their data sets in the DICOM JSON model.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/file_command.h"
#include "pella.h"

namespace cli {

namespace {

constexpr int32_t kDefaultInlineLimit = 1024;

CommandSpec Spec() {
    CommandSpec spec = FileCommandSpec(
        "dump", "pella dump [options] FILE...",
        "Reads DICOM files and prints one line per element, file meta information first, then\n"
        "the data set, as dcmdump lays them out: \"(gggg,eeee) VR value  # length, multiplicity\n"
        "Keyword\", two spaces of indentation per level, the items of every sequence shown\n"
        "nested with their markers whatever their length encoding. Texts are decoded by the\n"
        "Specific Character Set, numbers and tags shown as values, long values cut with \"...\".\n"
        "Implicit VR data sets show the dictionary's VRs. A file without preamble and \"DICM\" is\n"
        "read as a bare data set (said on stderr). With several files, a line \"# FILE\" precedes\n"
        "each file's elements.\n"
        "\n"
        "With --json, each file's data set is printed in the DICOM JSON model (file meta\n"
        "information left out), one JSON document per line (JSON Lines); with several files, each\n"
        "document is preceded by a line holding the file's path as a JSON string. Texts are UTF-8,\n"
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

constexpr const char* kPart10Heading = "\n# Dicom-File-Format\n";

FileOutput TextDump(const std::string& file) {
    char* text = DICOMText(file.c_str());
    if (text == nullptr) return ReadFailure("dump", file);
    FileOutput output;
    output.out = text;
    FreeText(text);
    if (output.out.rfind(kPart10Heading, 0) != 0)
        output.err = "pella dump: " + file + ": no preamble and \"DICM\": read as a bare data set\n";
    return output;
}

// A JSON string holding the text (a file path, named before its document).
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

FileOutput JsonDump(const std::string& file, int32_t inlineLimit, bool named) {
    char* text = DICOMJson(file.c_str(), inlineLimit);
    if (text == nullptr) return ReadFailure("dump", file);
    FileOutput output;
    if (named) output.out = JsonString(file) + "\n";
    output.out += text;
    output.out += '\n';
    FreeText(text);
    return output;
}

bool NamesFolder(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (std::filesystem::is_directory(name)) return true;
    return false;
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
    bool named = args.Positionals().size() > 1 || NamesFolder(args.Positionals());
    return RunOverFiles("dump", args, false, [inlineLimit, named](const std::string& file) {
        return JsonDump(file, inlineLimit, named);
    });
}

}  // namespace cli
