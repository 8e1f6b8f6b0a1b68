#include "services/storage/series.h"

#include <vector>

#include "log/protocol_log.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"
#include "services/storage/series_files.h"

namespace pella {

namespace {

constexpr std::size_t kShownLineBytes = 160;

// An index line as a report shows it: quoted, control bytes as "?", cut after a few dozen words.
std::string ShownLine(const std::string& line) {
    std::string shown;
    for (std::size_t i = 0; i < line.size() && i < kShownLineBytes; ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        shown += c < 0x20 || c == 0x7F ? '?' : line[i];
    }
    return "\"" + shown + (line.size() > kShownLineBytes ? "...\"" : "\"");
}

// The outcome of an index line that names no file: it names the line, and the line is skipped.
StoreOutcome SkippedLine(const std::string& folder, std::size_t lineNumber, const std::string& line,
                         const StoreOutcome& outcome) {
    StoreOutcome skipped = outcome;
    skipped.file = JoinPath(folder, kImageIndexName) + " line " + std::to_string(lineNumber);
    skipped.reason = "index line skipped: " + outcome.reason + ": " + ShownLine(line);
    WriteLogLine("Series: " + skipped.file + ": " + skipped.reason);
    return skipped;
}

}  // namespace

SeriesResult SendSeriesReporting(const std::string& folder, StoreTarget& target, const OutcomeSink& sink) {
    SeriesResult result;
    if (folder.empty()) {
        LogFailure("No series folder given");
        return result;
    }
    std::vector<std::string> lines;
    std::vector<std::string> files = SeriesFilesToSend(folder, &lines);
    result.files = files.size();
    if (files.empty()) {
        LogFailure("Series folder " + folder + " holds no DICOM file to send");
        return result;
    }
    // Every entry is tried: a line naming no file, or a file that cannot be read, is reported
    // and the rest of the series still goes.
    std::size_t entry = 0;
    result.allStored = StoreFiles(files, target, [&](const StoreOutcome& outcome) {
        std::size_t at = entry++;
        result.lastStored = outcome.Stored();
        if (!sink) return;
        bool namesNoFile = at < lines.size() && files[at].empty();
        sink(namesNoFile ? SkippedLine(folder, at + 1, lines[at], outcome) : outcome);
    });
    return result;
}

bool SendSeries(const std::string& host, const std::string& port, std::string& calling,
                const std::string& called, const std::string& folder, const std::string& wantedSyntax,
                bool convert) {
    StoreTarget target{host, port, calling, called, wantedSyntax, convert};
    bool lastStored = SendSeriesReporting(folder, target, {}).lastStored;
    calling = target.calling;
    return lastStored;
}

}  // namespace pella
