// pella convert IN OUT SYNTAX: writes a DICOM file in another transfer syntax; with --out-dir,
// every file given and every file of every folder given, on several threads.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/file_command.h"
#include "cli/network_options.h"
#include "cli/transfer_syntax_names.h"
#include "pella.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

CommandSpec Spec() {
    return {
        "convert",
        "pella convert [options] IN OUT SYNTAX\n"
        "       pella convert --syntax SYNTAX --out-dir DIR [-r] [--jobs N] FILE|FOLDER...",
        "Writes the DICOM Part 10 file IN as OUT in the transfer syntax SYNTAX: values\n"
        "re-encoded, group lengths recomputed, pixel data decoded and encoded by the codec of\n"
        "each syntax. A lossy encoding gives the copy a new SOP Instance UID and marks it lossy.\n"
        "A file already in SYNTAX is copied unchanged. OUT is overwritten; nothing is written\n"
        "when the conversion fails. Exit code 0 only on success.\n"
        "With --out-dir, every FILE given and every file of every FOLDER given (its subfolders too\n"
        "with -r) is written into DIR at the same relative place, under the same name, by N\n"
        "threads; each file that cannot be converted gets one line with its reason. Exit code 0\n"
        "only when every file was converted.\n"
        "SYNTAX is a transfer syntax UID or one of:\n" +
            TransferSyntaxNameTable(),
        {{{"--syntax", "-s"}, "SYNTAX", "the target syntax (with --out-dir)"},
         {{"--out-dir", "-od"}, "DIR", "folder for the converted files (created when missing)"},
         {{"--recurse", "-r"}, "", "also the files of subfolders of every FOLDER given"},
         {{"--jobs", "-j"}, "N", "threads converting at once (default: the number of cores)"}},
        1,
        1u << 30,
    };
}

int RunOne(const Args& args) {
    const auto& positionals = args.Positionals();
    if (positionals.size() != 3) {
        std::fprintf(stderr, "pella convert: give IN OUT SYNTAX, or --syntax and --out-dir (see --help)\n");
        return 2;
    }
    const std::string& in = positionals[0];
    const std::string& out = positionals[1];
    std::optional<std::string> syntax = ResolveTransferSyntaxArgument("convert", positionals[2]);
    if (!syntax) return 2;
    if (!ConvertFileTS(out.c_str(), in.c_str(), syntax->c_str())) {
        std::fprintf(stderr, "pella convert: %s: %s\n", in.c_str(),
                     FailureReason("conversion to " + *syntax + " failed").c_str());
        return 1;
    }
    return 0;
}

// Where the copy of `file` goes: its place below the named folder it was found in, or its bare
// name for a file named itself; empty when that would leave DIR.
fs::path OutputFor(const std::string& file, const std::vector<std::string>& named, const fs::path& outDir) {
    fs::path relative = fs::path(file).filename();
    for (const std::string& name : named) {
        std::error_code ec;
        if (!fs::is_directory(name, ec)) continue;
        fs::path inside = fs::path(file).lexically_relative(name);
        if (!inside.empty() && *inside.begin() != ".." && *inside.begin() != ".") {
            relative = inside;
            break;
        }
    }
    fs::path target = (outDir / relative).lexically_normal();
    fs::path check = target.lexically_relative(outDir.lexically_normal());
    if (check.empty() || *check.begin() == "..") return {};
    return target;
}

int RunMany(const Args& args) {
    std::optional<std::string> syntaxName = args.Value("--syntax");
    if (!syntaxName) {
        std::fprintf(stderr, "pella convert: --out-dir needs --syntax SYNTAX\n");
        return 2;
    }
    std::optional<std::string> syntax = ResolveTransferSyntaxArgument("convert", *syntaxName);
    if (!syntax) return 2;
    fs::path outDir = *args.Value("--out-dir");
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec || !fs::is_directory(outDir)) {
        std::fprintf(stderr, "pella convert: cannot create the folder '%s'\n", outDir.string().c_str());
        return 1;
    }
    const std::vector<std::string>& named = args.Positionals();
    return RunOverFiles("convert", args, false, [&](const std::string& file) -> FileOutput {
        fs::path target = OutputFor(file, named, outDir);
        if (target.empty())
            return {false, "", "refused " + file + ": its copy would be written outside the folder\n"};
        std::error_code made;
        fs::create_directories(target.parent_path(), made);
        if (ConvertFileTS(target.c_str(), file.c_str(), syntax->c_str())) return {true, "", ""};
        return {false, "",
                "refused " + file + ": " + FailureReason("conversion to " + *syntax + " failed") + "\n"};
    });
}

}  // namespace

int RunConvert(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(Spec(), argv, args); exit >= 0) return exit;
    return args.Has("--out-dir") ? RunMany(args) : RunOne(args);
}

}  // namespace cli
