#include "services/index/archive_index.h"

#include <filesystem>

#include "services/index/sqlite_index.h"

namespace pella {

std::string IndexDatabasePath(const std::string& storageFolder) {
    return (std::filesystem::path(storageFolder) / "index.sqlite").string();
}

std::unique_ptr<ArchiveIndex> OpenArchiveIndex(const std::string& storageFolder, std::string& reason,
                                               bool* created) {
    const std::string path = IndexDatabasePath(storageFolder);
    std::error_code ec;
    if (created) *created = !std::filesystem::exists(path, ec);
    return OpenSqliteIndex(path, reason);
}

}  // namespace pella
