// One line of progress on standard error: rewritten in place on a terminal, and in a log or
// pipe a line at each tenth of the work (every few seconds when the total is not known), so a
// file gets no carriage returns and no flood of lines.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace cli {

class ProgressLine {
public:
    ProgressLine();

    // Shows `text` for `done` of `total` steps (`total` 0 when not known).
    void Show(const std::string& text, std::size_t done, std::size_t total);
    // Ends the line on a terminal, before other output or at the end.
    void Break();
    bool ToTerminal() const { return toTerminal_; }

private:
    bool toTerminal_;
    bool open_ = false;          // a terminal line is shown and not yet ended
    std::size_t lastTenth_ = 0;  // the last tenth of the total printed to a log
    std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace cli
