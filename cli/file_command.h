// What the file-reading commands (dump, header, elements) share: any number of files and
// folders, recursion, parallel reading, one header line per file, failures on stderr.
#pragma once

#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/ordered_jobs.h"

namespace cli {

// A reading command: one or more FILE arguments, -r/--recurse and -j/--jobs N; the help
// paragraph on several files follows `summary`.
CommandSpec FileCommandSpec(const std::string& name, const std::string& usage, const std::string& summary);

// Runs `job` on every file the positional arguments name, in their order, printing
// "# FILE" before each file's output when `fileLines` is set and there are several files (or a
// folder). A job that fails prints "pella COMMAND: cannot read 'FILE': reason" on stderr.
// Returns the exit code: 0 when every file was read, 1 otherwise, 2 for a bad --jobs.
int RunOverFiles(const std::string& command, const Args& args, bool fileLines, const FileJob& job);

// The failure of one file: the reason line for standard error.
FileOutput ReadFailure(const std::string& command, const std::string& file);

}  // namespace cli
