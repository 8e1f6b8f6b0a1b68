// Where real DICOM files written by other systems live, and how to run DCMTK tools on them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// pydicom's sample files (Debian's python3-pydicom); PELLA_PYDICOM_DATA overrides the folder.
inline std::filesystem::path PydicomTestFiles() {
    if (const char* env = std::getenv("PELLA_PYDICOM_DATA")) return env;
    return "/usr/lib/python3/dist-packages/pydicom/data/test_files";
}

// Every DICOM sample below the folder (".dcm" files and DICOMDIRs), sorted by path.
inline std::vector<std::filesystem::path> PydicomSamples() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(PydicomTestFiles(), ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file()) continue;
        std::string name = it->path().filename().string();
        if (it->path().extension() == ".dcm" || name.rfind("DICOMDIR", 0) == 0)
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Runs a shell command and returns its standard output; `exitCode` receives its exit status.
inline std::string RunCommand(const std::string& command, int* exitCode = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (exitCode) *exitCode = -1;
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    int status = pclose(pipe);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct ToolOutput {
    int exitCode = -1;
    std::string text;  // stdout and stderr together
};

// Runs a shell command line and collects everything it prints.
inline ToolOutput Capture(const std::string& commandLine) {
    ToolOutput out;
    out.text = RunCommand(commandLine + " 2>&1", &out.exitCode);
    return out;
}

// Runs a shell command line quietly; true when it exits with 0.
inline bool RunTool(const std::string& commandLine) {
    int code = -1;
    RunCommand(commandLine + " >/dev/null 2>&1", &code);
    return code == 0;
}

}  // namespace testing_support
