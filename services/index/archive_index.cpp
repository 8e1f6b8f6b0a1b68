#include "services/index/archive_index.h"

#include <filesystem>
#include <map>
#include <mutex>

#include "services/index/postgres_connections.h"
#include "services/index/postgres_index.h"
#include "services/index/sqlite_index.h"

namespace pella {

namespace {

// The index locations set for storage folders; a folder not named uses SQLite.
struct Locations {
    std::mutex mutex;
    std::map<std::string, std::string> byFolder;
};

Locations& IndexLocations() {
    static auto* locations = new Locations;  // never destroyed: servers may outlive main
    return *locations;
}

}  // namespace

std::string IndexDatabasePath(const std::string& storageFolder) {
    return (std::filesystem::path(storageFolder) / "index.sqlite").string();
}

std::string IndexLogPath(const std::string& storageFolder) {
    return IndexDatabasePath(storageFolder) + "-wal";
}

bool SetArchiveIndexLocation(const std::string& storageFolder, const std::string& location,
                             std::string& reason) {
    if (!location.empty() && !CheckPostgresLocation(location, reason)) return false;
    Locations& locations = IndexLocations();
    std::lock_guard lock(locations.mutex);
    if (location.empty())
        locations.byFolder.erase(storageFolder);
    else
        locations.byFolder[storageFolder] = location;
    return true;
}

std::string ArchiveIndexLocation(const std::string& storageFolder) {
    Locations& locations = IndexLocations();
    std::lock_guard lock(locations.mutex);
    auto found = locations.byFolder.find(storageFolder);
    return found == locations.byFolder.end() ? std::string() : found->second;
}

std::string ArchiveIndexName(const std::string& storageFolder) {
    std::string location = ArchiveIndexLocation(storageFolder);
    return location.empty() ? IndexDatabasePath(storageFolder) : location;
}

std::unique_ptr<ArchiveIndex> OpenArchiveIndex(const std::string& storageFolder, std::string& reason,
                                               bool* created) {
    if (std::string location = ArchiveIndexLocation(storageFolder); !location.empty())
        return OpenPostgresIndex(location, reason, created);
    const std::string path = IndexDatabasePath(storageFolder);
    std::error_code ec;
    const bool missing = !std::filesystem::exists(path, ec);
    bool outdated = false;
    std::unique_ptr<ArchiveIndex> index = OpenSqliteIndex(path, reason, outdated);
    if (created) *created = missing || outdated;
    return index;
}

}  // namespace pella
