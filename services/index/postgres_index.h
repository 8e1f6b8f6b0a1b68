// The PostgreSQL backend of the archive index: the same tables and queries as SQLite's (the SQL
// of index_sql in PostgreSQL's form), shared by every server on the database. Each object holds
// one connection of the process's pool (postgres_connections.h) and hands it back when
// destroyed; a connection lost when the database restarts is replaced on the next use.
#pragma once

#include <memory>
#include <string>

#include "services/index/archive_index.h"

namespace pella {

// The schema version this build writes and reads (the table index_schema holds it).
inline constexpr int kPostgresSchemaVersion = 2;

// Opens a connection to the index at `location` (postgresql://...), making or migrating its
// tables on the first open of the process; null with `reason` on failure. `created` tells
// whether the tables did not exist before or were of an earlier layout and made anew, empty
// (the index to be built from the files).
std::unique_ptr<ArchiveIndex> OpenPostgresIndex(const std::string& location, std::string& reason,
                                                bool* created = nullptr);

}  // namespace pella
