#include "services/index/index_migration.h"

#include <filesystem>

#include "services/index/archive_index.h"
#include "services/index/postgres_index.h"
#include "services/index/reindex.h"
#include "services/index/sqlite_index.h"

namespace pella {

namespace {

// Rows written per transaction, and how often progress is told.
constexpr uint64_t kBatchSize = 500;
constexpr uint64_t kProgressEvery = 1000;

bool CopyRows(ArchiveIndex& from, ArchiveIndex& to, uint64_t& copied, const MigrationProgress& progress,
              std::string& reason) {
    bool open = false;
    bool written = true;
    IndexScan scan = from.ListRecords([&](const IndexedInstance& record) {
        if (!open && !(open = to.Begin())) return written = false;
        if (!to.Record(record)) return written = false;
        ++copied;
        if (copied % kBatchSize == 0) {
            open = false;
            if (!to.Commit()) return written = false;
        }
        if (progress && copied % kProgressEvery == 0) progress(copied, false);
        return true;
    });
    if (!written || scan != IndexScan::Completed) {
        to.Rollback();
        reason = written ? "cannot read the SQLite index" : "cannot write the PostgreSQL index";
        return false;
    }
    if (open && !to.Commit()) {
        reason = "cannot write the PostgreSQL index";
        return false;
    }
    return true;
}

}  // namespace

int64_t MigrateArchiveIndex(const std::string& storageFolder, const std::string& target,
                            const MigrationProgress& progress, std::string& reason) {
    std::error_code ec;
    if (!std::filesystem::is_directory(storageFolder, ec)) {
        reason = "no storage folder " + storageFolder;
        return -1;
    }
    std::unique_ptr<ArchiveIndex> to = OpenPostgresIndex(target, reason);
    if (!to) return -1;
    const std::string sqlite = IndexDatabasePath(storageFolder);
    uint64_t copied = 0;
    bool outdated = false;
    std::unique_ptr<ArchiveIndex> from;
    if (std::filesystem::is_regular_file(sqlite, ec)) {
        // An index of an earlier layout is made anew, empty: the files are read instead.
        from = OpenSqliteIndex(sqlite, reason, outdated);
        if (!from) return -1;
    }
    if (from && !outdated) {
        if (!to->Clear() || !CopyRows(*from, *to, copied, progress, reason)) {
            if (reason.empty()) reason = "cannot empty the PostgreSQL index";
            return -1;
        }
    } else {
        ReindexCounts counts;
        bool ok = RebuildIndex(*to, storageFolder, counts, [&](const ReindexCounts& now, bool) {
            if (progress) progress(now.recorded, false);
        });
        if (!ok) {
            reason = "cannot rebuild the PostgreSQL index from the files of " + storageFolder;
            return -1;
        }
        copied = counts.recorded;
    }
    if (progress) progress(copied, true);
    return static_cast<int64_t>(copied);
}

}  // namespace pella
