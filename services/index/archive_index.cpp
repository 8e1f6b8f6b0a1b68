#include "services/index/archive_index.h"

#include <filesystem>

#include "services/index/sqlite_index.h"

namespace pella {

std::string IndexDatabasePath(const std::string& storageFolder) {
    return (std::filesystem::path(storageFolder) / "index.sqlite").string();
}

std::string IndexLogPath(const std::string& storageFolder) {
    return IndexDatabasePath(storageFolder) + "-wal";
}

std::unique_ptr<ArchiveIndex> OpenArchiveIndex(const std::string& storageFolder, std::string& reason,
                                               bool* created) {
    const std::string path = IndexDatabasePath(storageFolder);
    std::error_code ec;
    const bool missing = !std::filesystem::exists(path, ec);
    bool outdated = false;
    std::unique_ptr<ArchiveIndex> index = OpenSqliteIndex(path, reason, outdated);
    if (created) *created = missing || outdated;
    return index;
}

}  // namespace pella
