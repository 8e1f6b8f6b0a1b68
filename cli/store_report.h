// What the storage subcommands tell the user: one line per failed file and progress on
// standard error, the summary on standard output. Safe to feed from several sending threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace cli {

class StoreReport {
public:
    // `expected` files (0 when not known in advance); progress only when `progress` is set.
    StoreReport(std::string command, std::size_t expected, bool progress);

    // Records one file: stored when `status` is 0; otherwise a failure line with the reason.
    // Files never tried ("not sent: ..." for a run that stopped) get no line of their own: one
    // line per reason at the end counts them.
    void Record(const std::string& file, int32_t status, const std::string& reason, uint64_t bytes);
    // Records a file that is not sent at all because it is no DICOM file.
    void Skip(const std::string& file, const std::string& reason);

    // For the library's outcome callbacks; `context` is the StoreReport.
    static void Callback(const char* file, int32_t status, const char* reason, uint64_t bytes, void* context);

    // Prints the summary and gives the exit code: 0 only when files were recorded, every one
    // was stored, and the library said so too (`libraryResult`). `nothingSentReason` is shown
    // when no file was recorded at all.
    int Finish(bool libraryResult, const std::string& nothingSentReason = "no object was sent");

private:
    void ShowProgress(bool final);
    void EndProgressLine();
    double Seconds() const;

    std::mutex mutex_;
    std::string command_;
    std::size_t expected_;
    bool progress_;
    bool toTerminal_;
    std::size_t done_ = 0;
    std::size_t stored_ = 0;
    std::size_t skipped_ = 0;
    uint64_t bytes_ = 0;
    std::map<std::string, std::size_t> failedBy_;  // failures counted by reason
    std::map<std::string, std::size_t> notSent_;   // files never tried, by reason
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
    bool progressShown_ = false;
    bool lineOpen_ = false;  // a terminal progress line waits for its end
};

}  // namespace cli
