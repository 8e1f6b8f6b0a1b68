#include "services/storage/archive_preparation.h"

#include <cstdio>

#include "log/protocol_log.h"
#include "services/index/archive_index.h"
#include "services/index/reindex.h"

namespace pella {

namespace {

void ReportProgress(const ReindexCounts& counts, bool finished) {
    std::fprintf(stderr, "%s %llu objects into the archive index (%llu files skipped)\n",
                 finished ? "Indexed" : "Indexing:", static_cast<unsigned long long>(counts.recorded),
                 static_cast<unsigned long long>(counts.skipped));
}

}  // namespace

bool PrepareArchiveIndex(const std::string& storageFolder, bool rebuild,
                         const std::vector<std::string>& recoveredFiles, std::string& reason) {
    bool created = false;
    std::unique_ptr<ArchiveIndex> index = OpenArchiveIndex(storageFolder, reason, &created);
    if (!index) return false;
    if (!created && !rebuild) {
        for (const std::string& file : recoveredFiles)
            if (!RecordFile(*index, storageFolder, file)) {
                reason = "cannot record " + file + " in the archive index";
                return false;
            }
        return true;
    }
    std::fprintf(stderr, "%s the archive index %s from the stored files\n",
                 created ? "Building" : "Rebuilding", ArchiveIndexName(storageFolder).c_str());
    WriteLogLine("Rebuilding the archive index of " + storageFolder);
    ReindexCounts counts;
    if (!RebuildIndex(*index, storageFolder, counts, ReportProgress)) {
        reason = "cannot rebuild the archive index " + ArchiveIndexName(storageFolder);
        return false;
    }
    return true;
}

}  // namespace pella
