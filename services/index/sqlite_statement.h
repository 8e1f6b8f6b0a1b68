// A prepared SQLite statement owned for its lifetime, with text bindings and column reads.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace pella {

class SqliteStatement {
public:
    SqliteStatement() = default;
    // Prepares `sql` on `db`; Valid() tells whether it could be.
    SqliteStatement(sqlite3* db, const std::string& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;

    bool Valid() const { return statement_ != nullptr; }

    // Resets the statement and binds the texts to its parameters 1..n.
    bool Bind(const std::vector<std::string>& values);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // The text of a column of the current row ("" for NULL).
    std::string Text(int column) const;
    long long Integer(int column) const;
    void Reset();

private:
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace pella
