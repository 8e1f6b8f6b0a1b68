// The SQLite backend of the archive index: <storage>/index.sqlite in WAL mode, so that queries
// read a consistent picture while filing writes, and no lock of this process is held while they
// do. One object is one connection (archive_index.h).
#pragma once

#include <memory>
#include <string>

#include "services/index/archive_index.h"

namespace pella {

// Opens or makes the database file `path`; null with `reason` on failure. `outdated` tells
// whether its tables were of an earlier layout and have been made anew, empty.
std::unique_ptr<ArchiveIndex> OpenSqliteIndex(const std::string& path, std::string& reason, bool& outdated);

}  // namespace pella
