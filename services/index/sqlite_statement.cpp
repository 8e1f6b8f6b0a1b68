#include "services/index/sqlite_statement.h"

#include <utility>

namespace pella {

SqliteStatement::SqliteStatement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

bool SqliteStatement::Bind(const std::vector<std::string>& values) {
    if (!statement_) return false;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (sqlite3_bind_text(statement_, static_cast<int>(i + 1), values[i].data(),
                              static_cast<int>(values[i].size()), SQLITE_TRANSIENT) != SQLITE_OK)
            return false;
    return true;
}

int SqliteStatement::Step() {
    return statement_ ? sqlite3_step(statement_) : SQLITE_MISUSE;
}

std::string SqliteStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    if (!text) return "";
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

long long SqliteStatement::Integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

void SqliteStatement::Reset() {
    if (statement_) sqlite3_reset(statement_);
}

}  // namespace pella
