#include "cli/file_command.h"

#include <cstdio>
#include <cstdlib>

#include "cli/input_files.h"
#include "cli/network_options.h"

namespace cli {

namespace {

const char* const kFilesHelp =
    "FILE may be any number of files and folders: a folder stands for the files directly in\n"
    "it (with -r, every file below it), in name order. Files are read in parallel and printed\n"
    "in the order given. A file that cannot be read is named on standard error with the reason;\n"
    "the others are still printed, and the exit code is then 1.";

}  // namespace

CommandSpec FileCommandSpec(const std::string& name, const std::string& usage, const std::string& summary) {
    return {name,
            usage,
            summary + "\n\n" + kFilesHelp,
            {{{"-r", "--recurse"}, "", "read the files in the folders' subfolders too"},
             {{"-j", "--jobs"}, "N", "read up to N files at once (default: the number of cores)"}},
            1,
            static_cast<std::size_t>(-1)};
}

FileOutput ReadFailure(const std::string& command, const std::string& file) {
    // The library's reason for the call that just failed on this thread (taken before another
    // call forgets it), else a look at the file.
    std::string reason = FailureReason("");
    if (reason.empty()) reason = ReadFailureReason(file);
    return {false, "", "pella " + command + ": cannot read '" + file + "': " + reason + "\n"};
}

namespace {

bool ParseJobs(const Args& args, unsigned& jobs) {
    jobs = DefaultJobs();
    auto value = args.Value("--jobs");
    if (!value) return true;
    long n = 0;
    if (!ParseNumber(*value, 1, 256, n)) return false;
    jobs = static_cast<unsigned>(n);
    return true;
}

}  // namespace

int RunOverFiles(const std::string& command, const Args& args, bool fileLines, const FileJob& job) {
    unsigned jobs = 1;
    if (!ParseJobs(args, jobs)) {
        std::fprintf(stderr, "pella %s: --jobs wants a number from 1 to 256\n", command.c_str());
        return 2;
    }
    InputFiles inputs = ExpandInputs(args.Positionals(), args.Has("--recurse"));
    for (const std::string& error : inputs.errors)
        std::fprintf(stderr, "pella %s: %s\n", command.c_str(), error.c_str());
    bool labelled = fileLines && (inputs.files.size() > 1 || inputs.namedFolder);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    bool ok = RunInOrder(inputs.files, jobs, [&](const std::string& file) {
        FileOutput output = job(file);
        if (labelled && output.ok) output.out.insert(0, "# " + file + "\n");
        return output;
    });
    std::fflush(stdout);
    return ok && inputs.errors.empty() ? 0 : 1;
}

}  // namespace cli
