#include "services/index/sqlite_index.h"

#include <sqlite3.h>

#include "log/protocol_log.h"
#include "services/index/index_attributes.h"
#include "services/index/index_sql.h"
#include "services/index/sqlite_statement.h"

namespace pella {

namespace {

// How long a connection waits for another's write lock before it gives up: filing holds it for
// one object's rows, a rebuild for one batch.
constexpr int kBusyWaitMilliseconds = 60000;

// The version of the tables' layout, kept in the database's user_version. A database of an
// earlier layout has its tables made anew (and is then rebuilt from the files by its opener).
constexpr int kSchemaVersion = 2;

// INSERT of one level's row that keeps an existing row with the same key (its id returned
// either way); the instance level renews every value of a row stored again.
std::string UpsertText(ArchiveLevel level, const char* parentColumn, const char* keyColumns) {
    std::string columns;
    std::string values;
    std::string renew;
    if (*parentColumn) {
        columns = parentColumn;
        values = "?";
        renew = std::string(parentColumn) + " = excluded." + parentColumn;
    }
    auto add = [&](const std::string& column) {
        columns += (columns.empty() ? "" : ", ") + column;
        values += values.empty() ? "?" : ", ?";
        renew += (renew.empty() ? "" : ", ") + column + " = excluded." + column;
    };
    for (const IndexAttribute& attribute : IndexAttributes())
        if (attribute.level == level) add(attribute.column);
    add("charset");
    if (level == ArchiveLevel::Image) {
        add("transfer_syntax");
        add("path");
    }
    std::string text = std::string("INSERT INTO ") + LevelTable(level) + " (" + columns + ") VALUES (" +
                       values + ") ON CONFLICT(" + keyColumns + ") DO UPDATE SET ";
    if (level == ArchiveLevel::Image)
        text += renew;
    else
        text += std::string(keyColumns).substr(0, std::string(keyColumns).find(',')) + " = excluded." +
                std::string(keyColumns).substr(0, std::string(keyColumns).find(','));
    return text + " RETURNING id";
}

class SqliteIndex final : public ArchiveIndex {
public:
    explicit SqliteIndex(sqlite3* db) : db_(db) {}
    ~SqliteIndex() override { sqlite3_close_v2(db_); }

    // Sets the connection up and makes the tables when missing; `outdated` tells whether tables
    // of an earlier layout were replaced by empty ones.
    bool Prepare(std::string& reason, bool& outdated) {
        sqlite3_busy_timeout(db_, kBusyWaitMilliseconds);
        outdated = false;
        for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"})
            if (!Execute(pragma)) {
                reason = sqlite3_errmsg(db_);
                return false;
            }
        if (Integer("PRAGMA user_version") >= kSchemaVersion) return true;
        // Made or replaced by one connection at a time: the check is repeated under the lock.
        if (!Begin()) {
            reason = sqlite3_errmsg(db_);
            return false;
        }
        std::vector<std::string> statements;
        if (Integer("PRAGMA user_version") < kSchemaVersion) {
            outdated = Integer("SELECT count(*) FROM sqlite_master WHERE name = 'patients'") > 0;
            for (const char* table : {"instances", "series", "studies", "patients"})
                statements.push_back(std::string("DROP TABLE IF EXISTS ") + table);
            for (std::string& statement : IndexSchemaStatements()) statements.push_back(std::move(statement));
            statements.push_back("PRAGMA user_version = " + std::to_string(kSchemaVersion));
        }
        for (const std::string& statement : statements)
            if (!Execute(statement)) {
                reason = sqlite3_errmsg(db_);
                Rollback();
                return false;
            }
        if (!Commit()) {
            reason = sqlite3_errmsg(db_);
            return false;
        }
        return true;
    }

    bool Record(const IndexedInstance& instance) override {
        const bool own = sqlite3_get_autocommit(db_) != 0;
        if (own && !Begin()) return false;
        bool ok = RecordRows(instance);
        if (!ok) LogIndexError("cannot record " + instance.path);
        if (own) {
            if (ok) return Commit();
            Rollback();
        }
        return ok;
    }

    IndexScan ListInstances(const RetrieveKeys& keys, const StoredInstanceVisitor& visit) override {
        SqlStatement sql = ListInstancesStatement(keys);
        SqliteStatement statement(db_, sql.text);
        if (!statement.Bind(sql.bindings)) return Failed("cannot list instances");
        int step;
        while ((step = statement.Step()) == SQLITE_ROW) {
            StoredInstance instance{statement.Text(0), statement.Text(1), statement.Text(2),
                                    statement.Text(3)};
            if (!visit(instance)) return IndexScan::Stopped;
        }
        return step == SQLITE_DONE ? IndexScan::Completed : Failed("cannot list instances");
    }

    IndexScan Find(const IndexQuery& query, const QueryRowVisitor& visit) override {
        SqlStatement sql = FindStatement(query);
        SqliteStatement statement(db_, sql.text);
        if (!statement.Bind(sql.bindings)) return Failed("cannot query");
        const int columns = static_cast<int>(query.keys.size());
        QueryRow row;
        int step;
        while ((step = statement.Step()) == SQLITE_ROW) {
            row.values.clear();
            for (int column = 0; column < columns; ++column) row.values.push_back(statement.Text(column));
            row.specificCharacterSet = statement.Text(columns);
            if (!visit(row)) return IndexScan::Stopped;
        }
        return step == SQLITE_DONE ? IndexScan::Completed : Failed("cannot query");
    }

    long long CountInstances() override { return Integer("SELECT count(*) FROM instances"); }

    bool Clear() override {
        return Execute(
            "DELETE FROM instances; DELETE FROM series; DELETE FROM studies; DELETE FROM patients");
    }

    bool Begin() override { return Execute("BEGIN IMMEDIATE"); }
    bool Commit() override {
        if (Execute("COMMIT")) return true;
        Rollback();
        return false;
    }
    void Rollback() override {
        if (sqlite3_get_autocommit(db_) == 0) Execute("ROLLBACK");
    }

private:
    // The first column of the first row of a statement; -1 when it gives none.
    long long Integer(const char* sql) {
        SqliteStatement statement(db_, sql);
        return statement.Step() == SQLITE_ROW ? statement.Integer(0) : -1;
    }

    bool Execute(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
        LogIndexError(sql.substr(0, 40) + ": " + (error ? error : "failed"));
        sqlite3_free(error);
        return false;
    }

    void LogIndexError(const std::string& what) { WriteLogLine("Archive index: " + what); }

    IndexScan Failed(const std::string& what) {
        LogIndexError(what + ": " + sqlite3_errmsg(db_));
        return IndexScan::Failed;
    }

    // Runs one upsert of a level with the parent's id (when any) and the level's values; the
    // row's id, or -1.
    long long Upsert(SqliteStatement& statement, const std::string& sql, const std::string* parent,
                     ArchiveLevel level, const IndexedInstance& instance) {
        if (!statement.Valid()) statement = SqliteStatement(db_, sql);
        std::vector<std::string> values;
        if (parent) values.push_back(*parent);
        std::span<const IndexAttribute> attributes = IndexAttributes();
        for (std::size_t i = 0; i < attributes.size() && i < instance.values.size(); ++i)
            if (attributes[i].level == level) values.push_back(instance.values[i]);
        values.push_back(instance.specificCharacterSet);
        if (level == ArchiveLevel::Image) {
            values.push_back(instance.transferSyntaxUid);
            values.push_back(instance.path);
        }
        if (!statement.Bind(values) || statement.Step() != SQLITE_ROW) {
            statement.Reset();
            return -1;
        }
        long long id = statement.Integer(0);
        statement.Reset();
        return id;
    }

    bool RecordRows(const IndexedInstance& instance) {
        if (instance.values.size() != IndexAttributes().size()) return false;
        long long patient =
            Upsert(patientUpsert_, UpsertText(ArchiveLevel::Patient, "", "patient_id, issuer_of_patient_id"),
                   nullptr, ArchiveLevel::Patient, instance);
        if (patient < 0) return false;
        std::string ref = std::to_string(patient);
        long long study = Upsert(studyUpsert_, UpsertText(ArchiveLevel::Study, "patient_ref", "study_uid"),
                                 &ref, ArchiveLevel::Study, instance);
        if (study < 0) return false;
        ref = std::to_string(study);
        long long series = Upsert(seriesUpsert_, UpsertText(ArchiveLevel::Series, "study_ref", "series_uid"),
                                  &ref, ArchiveLevel::Series, instance);
        if (series < 0) return false;
        ref = std::to_string(series);
        return Upsert(instanceUpsert_, UpsertText(ArchiveLevel::Image, "series_ref", "sop_uid"), &ref,
                      ArchiveLevel::Image, instance) >= 0;
    }

    sqlite3* db_;
    SqliteStatement patientUpsert_, studyUpsert_, seriesUpsert_, instanceUpsert_;
};

}  // namespace

std::unique_ptr<ArchiveIndex> OpenSqliteIndex(const std::string& path, std::string& reason, bool& outdated) {
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = std::string("cannot open ") + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    auto index = std::make_unique<SqliteIndex>(db);
    if (!index->Prepare(reason, outdated)) {
        reason = "cannot prepare " + path + ": " + reason;
        return nullptr;
    }
    return index;
}

}  // namespace pella
