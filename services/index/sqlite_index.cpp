#include "services/index/sqlite_index.h"

#include <sqlite3.h>

#include "log/protocol_log.h"
#include "services/index/index_attributes.h"
#include "services/index/index_sql.h"
#include "services/index/index_upsert.h"
#include "services/index/sqlite_checkpointer.h"
#include "services/index/sqlite_on_demand.h"
#include "services/index/sqlite_statement.h"

namespace pella {

namespace {

// How long a connection waits for another's write lock before it gives up: filing holds it for
// one object's rows, a rebuild for one batch.
constexpr int kBusyWaitMilliseconds = 60000;

// The version of the tables' layout, kept in the database's user_version. A database of an
// earlier layout has its tables made anew (and is then rebuilt from the files by its opener).
constexpr int kSchemaVersion = 2;

class SqliteIndex final : public ArchiveIndex {
public:
    SqliteIndex(sqlite3* db, const std::string& path) : db_(db), checkpointer_(path) {
        checkpointer_.Watch(db_);
    }
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
        if (!InTransaction()) {
            if (!Begin()) return false;
            if (RecordRows(instance)) return Commit();
            LogIndexError("cannot record " + instance.path);
            Rollback();
            return false;
        }
        // Inside a caller's transaction that other objects share: a failed object's rows are
        // undone to a savepoint, and the others' stay.
        if (!Run(savepoint_, "SAVEPOINT record")) return false;
        if (RecordRows(instance) && Run(release_, "RELEASE record")) return true;
        LogIndexError("cannot record " + instance.path);
        parents_.Forget();  // a stale id may be the cause: every row is looked up again
        // An I/O error or a full disk may have ended the whole transaction already.
        if (InTransaction()) Execute("ROLLBACK TO record; RELEASE record");
        return false;
    }

    bool InTransaction() override { return sqlite3_get_autocommit(db_) == 0; }
    bool GroupsCommits() const override { return true; }  // one writer: this process's filing

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

    IndexScan ListRecords(const IndexedInstanceVisitor& visit) override {
        SqliteStatement statement(db_, AllRecordsStatement().text);
        const int attributes = static_cast<int>(IndexAttributes().size());
        IndexedInstance record;
        int step;
        while ((step = statement.Step()) == SQLITE_ROW) {
            record.values.clear();
            for (int column = 0; column < attributes; ++column)
                record.values.push_back(statement.Text(column));
            record.specificCharacterSet = statement.Text(attributes);
            record.transferSyntaxUid = statement.Text(attributes + 1);
            record.path = statement.Text(attributes + 2);
            if (!visit(record)) return IndexScan::Stopped;
        }
        return step == SQLITE_DONE ? IndexScan::Completed : Failed("cannot list the records");
    }

    long long CountInstances() override { return Integer("SELECT count(*) FROM instances"); }

    bool Clear() override {
        parents_.Forget();
        return Execute(
            "DELETE FROM instances; DELETE FROM series; DELETE FROM studies; DELETE FROM patients");
    }

    bool Begin() override { return Run(begin_, "BEGIN IMMEDIATE"); }
    bool Commit() override {
        if (Run(commit_, "COMMIT")) {
            parents_.Keep();
            return true;
        }
        Rollback();
        return false;
    }
    void Rollback() override {
        parents_.Drop();
        if (InTransaction()) Execute("ROLLBACK");
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

    // Runs a statement without rows, prepared on first use (a transaction's steps run for every
    // object: parsing them each time would cost more than running them).
    bool Run(SqliteStatement& statement, const char* sql) {
        if (!statement.Valid()) statement = SqliteStatement(db_, sql);
        const int step = statement.Valid() ? statement.Step() : SQLITE_ERROR;
        statement.Reset();
        if (step == SQLITE_DONE) return true;
        LogIndexError(std::string(sql) + ": " + sqlite3_errmsg(db_));
        return false;
    }

    void LogIndexError(const std::string& what) { WriteLogLine("Archive index: " + what); }

    IndexScan Failed(const std::string& what) {
        LogIndexError(what + ": " + sqlite3_errmsg(db_));
        return IndexScan::Failed;
    }

    // Runs one level's upsert with the parent's id (when any); the row's id, or -1.
    long long Upsert(SqliteStatement& statement, const UpsertLevel& level, const std::string* parent,
                     const IndexedInstance& instance) {
        if (!statement.Valid()) statement = SqliteStatement(db_, UpsertText(level));
        if (!statement.Bind(UpsertValues(level, parent, instance)) || statement.Step() != SQLITE_ROW) {
            statement.Reset();
            return -1;
        }
        long long id = statement.Integer(0);
        statement.Reset();
        return id;
    }

    bool RecordRows(const IndexedInstance& instance) {
        if (instance.values.size() != IndexAttributes().size()) return false;
        std::string parent;
        for (std::size_t i = 0; i < std::size(kUpsertLevels); ++i) {
            if (std::string known = parents_.Find(kUpsertLevels[i], instance); !known.empty()) {
                parent = std::move(known);
                continue;
            }
            long long id = Upsert(upserts_[i], kUpsertLevels[i], i == 0 ? nullptr : &parent, instance);
            if (id < 0) return false;
            parent = std::to_string(id);
            parents_.Learn(kUpsertLevels[i], instance, parent);
        }
        return true;
    }

    sqlite3* db_;
    SqliteCheckpointer checkpointer_;  // copies the log through a connection of its own
    SqliteStatement upserts_[std::size(kUpsertLevels)];
    KnownParentRows parents_;  // ids of rows written or found, so the next objects skip them
    SqliteStatement begin_, commit_, savepoint_, release_;
};

}  // namespace

std::unique_ptr<ArchiveIndex> OpenSqliteIndex(const std::string& path, std::string& reason, bool& outdated) {
    if (!SqliteAvailable(reason)) return nullptr;
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = std::string("cannot open ") + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    auto index = std::make_unique<SqliteIndex>(db, path);
    if (!index->Prepare(reason, outdated)) {
        reason = "cannot prepare " + path + ": " + reason;
        return nullptr;
    }
    return index;
}

}  // namespace pella
