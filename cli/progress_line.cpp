#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>

namespace cli {

namespace {

// Least time between two updates: on a terminal, and in a log when the total is not known.
constexpr double kTerminalInterval = 0.1;
constexpr double kLogInterval = 5.0;

}  // namespace

ProgressLine::ProgressLine()
    : toTerminal_(isatty(STDERR_FILENO) != 0), lastShown_(std::chrono::steady_clock::now()) {}

void ProgressLine::Show(const std::string& text, std::size_t done, std::size_t total) {
    auto now = std::chrono::steady_clock::now();
    double since = std::chrono::duration<double>(now - lastShown_).count();
    if (toTerminal_) {
        if (since < kTerminalInterval && done != total) return;
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        open_ = true;
    } else if (total > 0) {
        std::size_t tenth = done * 10 / total;
        if (tenth <= lastTenth_) return;
        lastTenth_ = tenth;
        std::fprintf(stderr, "%s\n", text.c_str());
    } else {
        if (since < kLogInterval) return;
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
    lastShown_ = now;
}

void ProgressLine::Break() {
    if (!open_) return;
    std::fputc('\n', stderr);
    open_ = false;
}

}  // namespace cli
