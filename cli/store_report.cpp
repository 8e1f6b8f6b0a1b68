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
constexpr int kBarWidth = 30;
// Outcomes of files the library did not try because the run had stopped.
constexpr const char* kNotSentPrefix = "not sent: ";

double Megabytes(uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Bar(std::size_t done, std::size_t expected) {
    if (expected == 0) return "";
    int filled = static_cast<int>(done * kBarWidth / expected);
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    bar += "] ";
    return bar;
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

void StoreReport::EndProgressLine() {
    if (lineOpen_) std::fputc('\n', stderr);
    lineOpen_ = false;
}

void StoreReport::Record(const std::string& file, int32_t status, const std::string& reason, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    bytes_ += bytes;
    if (status == PELLA_STATUS_SUCCESS) {
        ++stored_;
        if (!reason.empty()) {
            EndProgressLine();
            std::fprintf(stderr, "pella %s: %s: %s\n", command_.c_str(), file.c_str(), reason.c_str());
        }
    } else if (reason.rfind(kNotSentPrefix, 0) == 0) {
        ++notSent_[reason.substr(std::char_traits<char>::length(kNotSentPrefix))];
    } else {
        std::string why = reason.empty() ? "no reason given" : reason;
        ++failedBy_[why];
        EndProgressLine();
        std::fprintf(stderr, "pella %s: NOT STORED %s: %s\n", command_.c_str(),
                     file.empty() ? "(no file)" : file.c_str(), why.c_str());
    }
    ShowProgress(false);
}

void StoreReport::Skip(const std::string& file, const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++skipped_;
    if (expected_ > 0) --expected_;
    (void)file;
    (void)reason;
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
    std::size_t failed = done_ - stored_;
    if (toTerminal_) {
        std::fprintf(stderr, "\r%s%zu%s files, %.1f MB, %.1f MB/s, %zu failed\033[K",
                     Bar(done_, expected_).c_str(), done_, total.c_str(), Megabytes(bytes_), rate, failed);
        lineOpen_ = true;
        if (final) EndProgressLine();
    } else {
        std::fprintf(stderr, "%zu%s files, %.1f MB, %.1f MB/s, %zu failed\n", done_, total.c_str(),
                     Megabytes(bytes_), rate, failed);
    }
    std::fflush(stderr);
    progressShown_ = true;
}

int StoreReport::Finish(bool libraryResult, const std::string& nothingSentReason) {
    std::lock_guard<std::mutex> lock(mutex_);
    ShowProgress(true);
    EndProgressLine();
    for (const auto& [reason, count] : notSent_)
        std::fprintf(stderr, "pella %s: %s not sent: %s\n", command_.c_str(), Plural(count, "file").c_str(),
                     reason.c_str());
    std::string skipped = skipped_ > 0 ? "; " + Plural(skipped_, "file") + " skipped (not DICOM)" : "";
    if (done_ == 0) {
        std::fprintf(stderr, "pella %s: %s%s\n", command_.c_str(), nothingSentReason.c_str(),
                     skipped.c_str());
        return 1;
    }
    double seconds = Seconds();
    double rate = seconds > 0 ? Megabytes(bytes_) / seconds : 0;
    std::size_t failed = done_ - stored_;
    if (failed == 0 && libraryResult) {
        std::printf("Stored %s (%.1f MB) in %.2f s, %.1f MB/s%s\n", Plural(stored_, "object").c_str(),
                    Megabytes(bytes_), seconds, rate, skipped.c_str());
        return 0;
    }
    if (failed == 0) {
        std::printf("FAILED: the send did not complete (%s stored)%s\n", Plural(stored_, "object").c_str(),
                    skipped.c_str());
        return 1;
    }
    std::printf("FAILED: %zu of %s NOT stored (%zu stored, %.1f MB in %.2f s)%s\n", failed,
                Plural(done_, "object").c_str(), stored_, Megabytes(bytes_), seconds, skipped.c_str());
    for (const auto& [reason, count] : failedBy_) std::printf("  %zu: %s\n", count, reason.c_str());
    for (const auto& [reason, count] : notSent_) std::printf("  %zu: not sent: %s\n", count, reason.c_str());
    return 1;
}

}  // namespace cli
