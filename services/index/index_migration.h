// Copying the archive index of a storage folder into a PostgreSQL index: the rows of its
// <storage>/index.sqlite when it has one, else the index rebuilt from its files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pella {

// Called now and then with the objects copied so far, and once at the end (`finished`).
using MigrationProgress = std::function<void(uint64_t copied, bool finished)>;

// Replaces the rows of the index at `target` (postgresql://...) by those of the storage folder's
// index; the number of objects copied, or -1 with `reason`.
int64_t MigrateArchiveIndex(const std::string& storageFolder, const std::string& target,
                            const MigrationProgress& progress, std::string& reason);

}  // namespace pella
