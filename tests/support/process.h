// Running outside tools (DCMTK, pydicom, the pella tool) from tests.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

struct ToolOutput {
    int exitCode = -1;
    std::string text;  // stdout and stderr together
};

// Runs a shell command line and collects what it prints.
inline ToolOutput Capture(const std::string& commandLine) {
    ToolOutput out;
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.text.append(chunk.data(), n);
    int status = pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// Runs a shell command line quietly; true when it exits with 0.
inline bool RunTool(const std::string& commandLine) {
    return std::system((commandLine + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace testing_support
