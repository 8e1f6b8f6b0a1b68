// What the storage subcommands tell the user: one line per failed file and progress on
// standard error, the summary on standard output.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

class StoreReport {
public:
    // `expected` files (0 when not known in advance); progress only when `progress` is set.
    StoreReport(std::string command, std::size_t expected, bool progress);

    // Records one file: stored when `status` is 0; otherwise a failure line with the reason.
    void Record(const std::string& file, int32_t status, const std::string& reason, uint64_t bytes);

    // For the library's outcome callbacks; `context` is the StoreReport.
    static void Callback(const char* file, int32_t status, const char* reason, uint64_t bytes, void* context);

    // Prints the summary and gives the exit code: 0 only when files were recorded, every one
    // was stored, and the library said so too (`libraryResult`). `nothingSentReason` is shown
    // when no file was recorded at all.
    int Finish(bool libraryResult, const std::string& nothingSentReason = "no object was sent");

private:
    void ShowProgress(bool final);
    double Seconds() const;

    std::string command_;
    std::size_t expected_;
    bool progress_;
    bool toTerminal_;
    std::size_t done_ = 0;
    std::size_t stored_ = 0;
    uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
    bool progressShown_ = false;
};

}  // namespace cli
