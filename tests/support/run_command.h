// Runs a program and collects its standard output and exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;      // the program's exit code; -1 when it did not exit normally
    bool signaled = false;  // ended by a signal (a crash)
    std::string out;
};

// Each argument is single-quoted for the shell; standard error is discarded unless `withErr`.
inline CommandResult RunCommand(const std::vector<std::string>& argv, bool withErr = false) {
    std::string line;
    for (const std::string& arg : argv) {
        line += '\'';
        for (char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "' ";
    }
    line += withErr ? "2>&1" : "2>/dev/null";
    CommandResult result;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    int status = pclose(pipe);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        // The shell reports a program killed by a signal as 128 + signal number.
        result.signaled = result.exitCode > 128;
    } else {
        result.signaled = WIFSIGNALED(status);
    }
    return result;
}

}  // namespace testing_support
