#include "cli/store_report.h"

#include <unistd.h>

#include <cstdio>

#include "pella.h"

namespace cli {

namespace {

// Progress appears once more than this many files were handled.
constexpr std::size_t kFewFiles = 5;
// Least time between two progress updates: on a terminal, and in a log or pipe.
constexpr double kTerminalInterval = 0.1;
constexpr double kLogInterval = 5.0;

double Megabytes(uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

StoreReport::StoreReport(std::string command, std::size_t expected, bool progress)
    : command_(std::move(command)),
      expected_(expected),
      progress_(progress),
      toTerminal_(isatty(STDERR_FILENO) != 0),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

double StoreReport::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void StoreReport::Record(const std::string& file, int32_t status, const std::string& reason, uint64_t bytes) {
    ++done_;
    bytes_ += bytes;
    if (status == PELLA_STATUS_SUCCESS) {
        ++stored_;
        if (!reason.empty()) {
            if (toTerminal_ && progressShown_) std::fputc('\n', stderr);
            std::fprintf(stderr, "pella %s: %s: %s\n", command_.c_str(), file.c_str(), reason.c_str());
        }
    } else {
        if (toTerminal_ && progressShown_) std::fputc('\n', stderr);
        std::fprintf(stderr, "pella %s: NOT STORED %s: %s\n", command_.c_str(),
                     file.empty() ? "(no file)" : file.c_str(),
                     reason.empty() ? "no reason given" : reason.c_str());
    }
    ShowProgress(false);
}

void StoreReport::Callback(const char* file, int32_t status, const char* reason, uint64_t bytes,
                           void* context) {
    static_cast<StoreReport*>(context)->Record(file ? file : "", status, reason ? reason : "", bytes);
}

void StoreReport::ShowProgress(bool final) {
    if (!progress_ || done_ <= kFewFiles) return;
    auto now = std::chrono::steady_clock::now();
    double sinceLast = std::chrono::duration<double>(now - lastShown_).count();
    if (!final && sinceLast < (toTerminal_ ? kTerminalInterval : kLogInterval)) return;
    lastShown_ = now;
    double seconds = Seconds();
    double rate = seconds > 0 ? Megabytes(bytes_) / seconds : 0;
    std::string total = expected_ > 0 ? " of " + std::to_string(expected_) : "";
    std::fprintf(stderr, "%s%zu%s files, %.1f MB, %.1f MB/s, %zu failed%s", toTerminal_ ? "\r" : "", done_,
                 total.c_str(), Megabytes(bytes_), rate, done_ - stored_,
                 toTerminal_ && !final ? "   " : "\n");
    std::fflush(stderr);
    progressShown_ = true;
}

int StoreReport::Finish(bool libraryResult, const std::string& nothingSentReason) {
    ShowProgress(true);
    double seconds = Seconds();
    std::size_t failed = done_ - stored_;
    if (done_ == 0) {
        std::fprintf(stderr, "pella %s: %s\n", command_.c_str(), nothingSentReason.c_str());
        return 1;
    }
    if (failed == 0 && libraryResult) {
        std::printf("Stored %zu object%s (%.1f MB) in %.2f s\n", stored_, stored_ == 1 ? "" : "s",
                    Megabytes(bytes_), seconds);
        return 0;
    }
    if (failed == 0) {
        std::printf("FAILED: the send did not complete (%zu object%s stored)\n", stored_,
                    stored_ == 1 ? "" : "s");
        return 1;
    }
    std::printf("FAILED: %zu of %zu object%s NOT stored (%zu stored)\n", failed, done_, done_ == 1 ? "" : "s",
                stored_);
    return 1;
}

}  // namespace cli
