// Runs one job per file on several threads and prints the results in the order of the files.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace cli {

struct FileOutput {
    bool ok = true;
    std::string out;  // for standard output
    std::string err;  // for standard error (the reason of a failure)
};

using FileJob = std::function<FileOutput(const std::string& file)>;

// Runs `job` for every file on up to `jobs` threads (at most a few results wait to be printed
// at any time) and prints each result as soon as all results before it are printed. True when
// every job succeeded.
bool RunInOrder(const std::vector<std::string>& files, unsigned jobs, const FileJob& job);

// The default number of jobs: the number of cores.
unsigned DefaultJobs();

}  // namespace cli
