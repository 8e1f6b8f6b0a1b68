#include "services/storage/series.h"

#include <vector>

#include "log/protocol_log.h"
#include "services/storage/series_files.h"

namespace pella {

namespace {

// Every entry reported as not sent, the first with the reason its file could not be read.
void ReportNothingSent(const std::vector<std::string>& files, const LoadedObject& first,
                       const std::string& reason, const OutcomeSink& sink) {
    if (!sink) return;
    for (std::size_t i = 0; i < files.size(); ++i) {
        StoreOutcome outcome;
        outcome.file = files[i];
        if (i == 0) {
            outcome.bytes = first.bytes;
            outcome.reason = reason;
        } else {
            outcome.reason = "not sent: the first file of the series could not be read";
        }
        sink(outcome);
    }
}

}  // namespace

SeriesResult SendSeriesReporting(const std::string& folder, StoreTarget& target, const OutcomeSink& sink) {
    SeriesResult result;
    if (folder.empty()) {
        LogFailure("No series folder given");
        return result;
    }
    std::vector<std::string> files = SeriesFilesToSend(folder);
    result.files = files.size();
    if (files.empty()) {
        LogFailure("Series folder " + folder + " holds no DICOM file to send");
        return result;
    }
    LoadedObject first;
    std::string reason;
    if (!LoadObject(files[0], first, reason)) {
        ReportNothingSent(files, first, reason, sink);
        return result;
    }
    ClearTags(first.data);
    result.allStored = StoreFiles(files, target, [&](const StoreOutcome& outcome) {
        result.lastStored = outcome.Stored();
        if (sink) sink(outcome);
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
