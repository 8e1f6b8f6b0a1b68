// The SQL text of the archive index: its tables (made from the attribute table) and the
// statements that match a query or a retrieval, with the values to bind in order. Pure text
// building, so that every matching kind can be checked without a database.
#pragma once

#include <string>
#include <vector>

#include "services/index/index_query.h"
#include "services/index/stored_instance.h"

namespace pella {

// A statement and the texts bound to its "?" parameters, in order.
struct SqlStatement {
    std::string text;
    std::vector<std::string> bindings;
};

// The statements that make the tables and their indexes when missing.
std::vector<std::string> IndexSchemaStatements();

// The table and column list of a level (for the insertions).
const char* LevelTable(ArchiveLevel level);

// Selects the rows of the query's level matching its keys: one column per key, in the query's
// order, then the row's character set; in the order the rows were made.
SqlStatement FindStatement(const IndexQuery& query);

// Selects path, SOP Class UID, SOP Instance UID and transfer syntax of the instances matching a
// retrieval's keys, study by study and series by series.
SqlStatement ListInstancesStatement(const RetrieveKeys& keys);

// The GLOB pattern for a query value with the wildcards * and ? ("[" taken literally).
std::string GlobPattern(const std::string& value);

// The values of a UID list ("\" between them), empty ones dropped.
std::vector<std::string> SplitValues(const std::string& value);

// Selects every instance row with the rows above it: the values of every index attribute (in
// the order of IndexAttributes()), the character set, transfer syntax and path; by instance.
SqlStatement AllRecordsStatement();

// The database engines the index runs on. The statements above are written for SQLite; the
// same text serves PostgreSQL once turned by InDialect.
enum class SqlDialect { Sqlite, Postgres };

// A statement (or a schema statement, without bindings) as `dialect` takes it. For PostgreSQL:
// "?" numbered $1, $2, ...; "GLOB ?" becomes "LIKE ?" with its pattern turned (LikePattern);
// group_concat is string_agg; row ids are BIGSERIAL and references to them BIGINT. Quoted
// literals are kept as they are.
SqlStatement InDialect(SqlStatement statement, SqlDialect dialect);

// The LIKE pattern (escape "\") matching what a GLOB pattern of GlobPattern matches.
std::string LikePattern(const std::string& globPattern);

}  // namespace pella
