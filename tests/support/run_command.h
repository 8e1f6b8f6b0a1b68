// Runs programs through the shell and collects their standard output and exit status: from an
// argument vector (each argument quoted) or from a whole command line.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;      // the program's exit code; -1 when it did not exit normally
    bool signaled = false;  // ended by a signal (a crash)
    std::string out;
};

// The text single-quoted for the shell.
inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command line as it stands and collects its standard output.
inline CommandResult RunShell(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
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

// Each argument is quoted for the shell; standard error is discarded unless `withErr`.
inline CommandResult RunCommand(const std::vector<std::string>& argv, bool withErr = false) {
    std::string line;
    for (const std::string& arg : argv) line += Quote(arg) + " ";
    return RunShell(line + (withErr ? "2>&1" : "2>/dev/null"));
}

// The same for a braced list of arguments (preferred over the command-line form below, which a
// list of two texts could otherwise also construct).
inline CommandResult RunCommand(std::initializer_list<std::string> argv, bool withErr = false) {
    return RunCommand(std::vector<std::string>(argv), withErr);
}

// Runs a shell command line and returns its standard output; `exitCode` receives its exit status.
inline std::string RunCommand(const std::string& commandLine, int* exitCode = nullptr) {
    CommandResult result = RunShell(commandLine);
    if (exitCode) *exitCode = result.exitCode;
    return result.out;
}

// Runs a shell command line and collects everything it prints (standard output and error).
inline CommandResult Capture(const std::string& commandLine) {
    return RunShell(commandLine + " 2>&1");
}

// Runs a shell command line quietly; true when it exits with 0.
inline bool RunTool(const std::string& commandLine) {
    return RunShell(commandLine + " >/dev/null 2>&1").exitCode == 0;
}

}  // namespace testing_support
