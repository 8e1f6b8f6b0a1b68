// Sending every file of one series folder over one association.
#pragma once

#include <cstddef>
#include <string>

#include "services/storage/store_session.h"

namespace pella {

struct SeriesResult {
    std::size_t files = 0;    // entries of the series (index lines or listed files)
    bool allStored = false;   // every entry stored with status 0 (and there was one)
    bool lastStored = false;  // the last entry stored with status 0
};

// Sends the files that SeriesFilesToSend finds, in order, handing each outcome to `sink` (may
// be empty). An entry that cannot be used (an index line naming no file in the folder, a
// missing or unreadable file) is reported and skipped, and the rest still goes; the outcome of
// such an index line names "<folder>/Image.dir line N" (N counting the non-empty lines) and
// quotes the line. The contexts of every file are proposed up front (StoreFiles), so files of
// several classes share the association.
SeriesResult SendSeriesReporting(const std::string& folder, StoreTarget& target, const OutcomeSink& sink);

// SendSeriesReporting without a sink; true when the last file was stored with status 0.
bool SendSeries(const std::string& host, const std::string& port, std::string& calling,
                const std::string& called, const std::string& folder, const std::string& wantedSyntax,
                bool convert);

}  // namespace pella
