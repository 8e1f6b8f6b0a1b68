#include "services/index/postgres_index.h"

#include <cstring>
#include <vector>

#include "log/protocol_log.h"
#include "services/index/index_attributes.h"
#include "services/index/index_sql.h"
#include "services/index/index_upsert.h"
#include "services/index/postgres_connections.h"

namespace pella {

namespace {

// A prepared statement's name per connection is this prefix and a number; beyond this many
// texts on one connection, further ones run unprepared.
constexpr std::size_t kMaxPrepared = 256;

// Taken while the tables are made or migrated, so that servers starting together do it once.
constexpr long long kSchemaLockKey = 0x50454c4c41;  // "PELLA"

// Owns one PGresult.
struct Result {
    PGresult* result = nullptr;
    explicit Result(PGresult* r) : result(r) {}
    ~Result() { PQclear(result); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ExecStatusType Status() const { return result ? PQresultStatus(result) : PGRES_FATAL_ERROR; }
    bool Ok() const { return Status() == PGRES_COMMAND_OK || Status() == PGRES_TUPLES_OK; }
    std::string Text(int row, int column) const {
        return std::string(PQgetvalue(result, row, column), PQgetlength(result, row, column));
    }
};

std::vector<const char*> Parameters(const std::vector<std::string>& values) {
    std::vector<const char*> parameters;
    parameters.reserve(values.size());
    for (const std::string& value : values) parameters.push_back(value.c_str());
    return parameters;
}

class PostgresIndex final : public ArchiveIndex {
public:
    PostgresIndex(std::shared_ptr<PostgresPool> pool, std::unique_ptr<PostgresSession> session)
        : pool_(std::move(pool)), session_(std::move(session)) {}
    ~PostgresIndex() override {
        Rollback();
        pool_->Give(std::move(session_));
    }

    // Makes the tables when missing and brings an older schema to this version, under an
    // advisory lock; false with `reason` otherwise.
    bool PrepareSchema(bool& created, std::string& reason) {
        const std::string encoding = Single("SHOW server_encoding");
        if (encoding != "SQL_ASCII") {
            reason = encoding.empty() ? LastError()
                                      : "the index database has the encoding " + encoding +
                                            "; it must be SQL_ASCII, which keeps values in every character "
                                            "set as received (createdb -E SQL_ASCII -T template0)";
            return false;
        }
        if (!Begin() || !Execute("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")")) {
            reason = LastError();
            return false;
        }
        created = Single("SELECT to_regclass('instances') IS NULL") == "t";
        bool ok = Execute("CREATE TABLE IF NOT EXISTS index_schema (version INTEGER NOT NULL)");
        const std::string stored = ok ? Single("SELECT coalesce(max(version), 0) FROM index_schema") : "";
        const int version = stored.empty() ? -1 : std::atoi(stored.c_str());
        if (version > kPostgresSchemaVersion) {
            Rollback();
            reason = "the index database has schema version " + stored + ", newer than this program's " +
                     std::to_string(kPostgresSchemaVersion);
            return false;
        }
        // Tables of an earlier layout are made anew, empty, and rebuilt from the files.
        if (ok && version > 0 && version < kPostgresSchemaVersion) created = true;
        ok = ok && version >= 0 && Migrate(version);
        if (!ok || !Commit()) {
            reason = "cannot make the index tables: " + LastError();
            Rollback();
            return false;
        }
        return true;
    }

    bool Record(const IndexedInstance& instance) override {
        if (!InTransaction()) {
            if (!Begin()) return false;
            if (RecordRows(instance)) return Commit();
            LogIndexError("cannot record " + instance.path + ": " + LastError());
            Rollback();
            return false;
        }
        // Inside a caller's transaction: a failed row must not end it (PostgreSQL would refuse
        // every later statement of an aborted transaction), so it is undone to a savepoint.
        if (!Execute("SAVEPOINT record")) return false;
        if (RecordRows(instance) && Execute("RELEASE SAVEPOINT record")) return true;
        LogIndexError("cannot record " + instance.path + ": " + LastError());
        parents_.Forget();  // a stale id may be the cause: every row is looked up again
        Execute("ROLLBACK TO SAVEPOINT record");
        return false;
    }

    IndexScan ListInstances(const RetrieveKeys& keys, const StoredInstanceVisitor& visit) override {
        return Stream(ListInstancesStatement(keys), "cannot list instances", [&](const Result& row) {
            return visit(StoredInstance{row.Text(0, 0), row.Text(0, 1), row.Text(0, 2), row.Text(0, 3)});
        });
    }

    IndexScan Find(const IndexQuery& query, const QueryRowVisitor& visit) override {
        const int columns = static_cast<int>(query.keys.size());
        QueryRow values;
        return Stream(FindStatement(query), "cannot query", [&](const Result& row) {
            values.values.clear();
            for (int column = 0; column < columns; ++column) values.values.push_back(row.Text(0, column));
            values.specificCharacterSet = row.Text(0, columns);
            return visit(values);
        });
    }

    IndexScan ListRecords(const IndexedInstanceVisitor& visit) override {
        const int attributes = static_cast<int>(IndexAttributes().size());
        IndexedInstance record;
        return Stream(AllRecordsStatement(), "cannot list the records", [&](const Result& row) {
            record.values.clear();
            for (int column = 0; column < attributes; ++column) record.values.push_back(row.Text(0, column));
            record.specificCharacterSet = row.Text(0, attributes);
            record.transferSyntaxUid = row.Text(0, attributes + 1);
            record.path = row.Text(0, attributes + 2);
            return visit(record);
        });
    }

    long long CountInstances() override {
        Reconnect();
        const std::string count = Single("SELECT count(*) FROM instances");
        return count.empty() ? -1 : std::atoll(count.c_str());
    }

    bool Clear() override {
        parents_.Forget();
        Reconnect();
        return Execute("TRUNCATE instances, series, studies, patients");
    }

    bool Begin() override {
        Reconnect();
        if (Execute("BEGIN")) return true;
        // A connection the database closed (a restart) shows only when used: one more try on a
        // new one, as nothing had begun.
        if (!session_->Broken()) return false;
        Reconnect();
        return Execute("BEGIN");
    }

    bool Commit() override {
        // COMMIT of a transaction that failed answers ROLLBACK: not committed.
        Result result(Run("COMMIT"));
        if (result.Status() == PGRES_COMMAND_OK && std::strcmp(PQcmdStatus(result.result), "COMMIT") == 0) {
            parents_.Keep();
            return true;
        }
        LogIndexError("cannot commit: " + LastError());
        Rollback();
        return false;
    }

    void Rollback() override {
        parents_.Drop();
        if (InTransaction()) Execute("ROLLBACK");
    }

    // Several servers write one study's rows at once: each object's rows are committed alone.
    bool GroupsCommits() const override { return false; }

    bool InTransaction() override {
        if (session_->Broken()) return false;
        PGTransactionStatusType status = PQtransactionStatus(session_->connection);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
    }

private:
    // Replaces a connection the database closed, outside a transaction (inside one, the
    // transaction is lost with it and its statements fail).
    void Reconnect() {
        if (!session_->Broken()) return;
        std::string reason;
        if (auto fresh = pool_->Take(reason)) session_ = std::move(fresh);
    }

    std::string LastError() const {
        std::string text = session_->connection ? PQerrorMessage(session_->connection) : "no connection";
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        return text.empty() ? "failed" : text;
    }

    void LogIndexError(const std::string& what) { WriteLogLine("Archive index: " + what); }

    PGresult* Run(const std::string& sql) {
        if (session_->Broken()) return nullptr;
        return PQexec(session_->connection, sql.c_str());
    }

    bool Execute(const std::string& sql) {
        Result result(Run(sql));
        if (result.Ok()) return true;
        LogIndexError(sql.substr(0, 40) + ": " + LastError());
        return false;
    }

    // The first value of a one-row statement; "" when it failed.
    std::string Single(const std::string& sql) {
        Result result(Run(sql));
        if (result.Status() != PGRES_TUPLES_OK || PQntuples(result.result) != 1) return "";
        return result.Text(0, 0);
    }

    bool Migrate(int fromVersion) {
        if (fromVersion == kPostgresSchemaVersion) return true;
        if (fromVersion > 0 && !Execute("DROP TABLE IF EXISTS instances, series, studies, patients"))
            return false;
        for (const std::string& statement : IndexSchemaStatements())
            if (!Execute(InDialect(SqlStatement{statement, {}}, SqlDialect::Postgres).text)) return false;
        return Execute("DELETE FROM index_schema") &&
               Execute("INSERT INTO index_schema VALUES (" + std::to_string(kPostgresSchemaVersion) + ")");
    }

    // The name of the statement prepared for `text` on this connection (prepared now when new);
    // "" when it is to run unprepared.
    bool Prepared(const SqlStatement& statement, std::string& name) {
        auto& prepared = session_->prepared;
        if (auto found = prepared.find(statement.text); found != prepared.end()) {
            name = found->second;
            return true;
        }
        name.clear();
        if (prepared.size() >= kMaxPrepared) return true;
        std::string fresh = "pella" + std::to_string(prepared.size());
        Result result(PQprepare(session_->connection, fresh.c_str(), statement.text.c_str(),
                                static_cast<int>(statement.bindings.size()), nullptr));
        if (!result.Ok()) return false;
        prepared.emplace(statement.text, fresh);
        name = std::move(fresh);
        return true;
    }

    // Runs a prepared statement to its end; the result of its last (or only) part.
    PGresult* RunPrepared(const SqlStatement& statement) {
        std::string name;
        if (session_->Broken() || !Prepared(statement, name)) return nullptr;
        std::vector<const char*> parameters = Parameters(statement.bindings);
        const int count = static_cast<int>(parameters.size());
        if (name.empty())
            return PQexecParams(session_->connection, statement.text.c_str(), count, nullptr,
                                parameters.data(), nullptr, nullptr, 0);
        return PQexecPrepared(session_->connection, name.c_str(), count, parameters.data(), nullptr, nullptr,
                              0);
    }

    // Runs a query in PostgreSQL's form, handing its rows one by one to `row` (single-row mode:
    // never the whole result in memory); a row answered false cancels the rest. A connection
    // the database closed (a restart) shows only when used: the query is run once more on a new
    // one when it failed so before any row was handed over.
    template <typename RowVisitor>
    IndexScan Stream(const SqlStatement& sqliteForm, const char* what, RowVisitor row) {
        const SqlStatement statement = InDialect(sqliteForm, SqlDialect::Postgres);
        bool handed = false;
        Reconnect();
        IndexScan scan = StreamOnce(statement, handed, row);
        if (scan == IndexScan::Failed && !handed && session_->Broken()) {
            Reconnect();
            scan = StreamOnce(statement, handed, row);
        }
        return scan == IndexScan::Failed ? Failed(what) : scan;
    }

    template <typename RowVisitor>
    IndexScan StreamOnce(const SqlStatement& statement, bool& handed, RowVisitor& row) {
        std::string name;
        if (session_->Broken() || !Prepared(statement, name)) return IndexScan::Failed;
        std::vector<const char*> parameters = Parameters(statement.bindings);
        const int count = static_cast<int>(parameters.size());
        PGconn* connection = session_->connection;
        const int sent = name.empty() ? PQsendQueryParams(connection, statement.text.c_str(), count, nullptr,
                                                          parameters.data(), nullptr, nullptr, 0)
                                      : PQsendQueryPrepared(connection, name.c_str(), count,
                                                            parameters.data(), nullptr, nullptr, 0);
        if (!sent) return IndexScan::Failed;
        PQsetSingleRowMode(connection);
        bool stopped = false;
        bool failed = false;
        while (PGresult* next = PQgetResult(connection)) {
            Result result(next);
            if (result.Status() == PGRES_SINGLE_TUPLE) {
                handed = true;
                if (!stopped && !row(result)) {
                    stopped = true;
                    Cancel();
                }
            } else if (result.Status() != PGRES_TUPLES_OK && !stopped) {
                failed = true;
            }
        }
        if (stopped) return IndexScan::Stopped;
        return failed ? IndexScan::Failed : IndexScan::Completed;
    }

    void Cancel() {
        if (PGcancel* cancel = PQgetCancel(session_->connection)) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
    }

    IndexScan Failed(const std::string& what) {
        LogIndexError(what + ": " + LastError());
        return IndexScan::Failed;
    }

    bool RecordRows(const IndexedInstance& instance) {
        if (instance.values.size() != IndexAttributes().size()) return false;
        std::string parent;
        for (const UpsertLevel& level : kUpsertLevels) {
            if (std::string known = parents_.Find(level, instance); !known.empty()) {
                parent = std::move(known);
                continue;
            }
            SqlStatement upsert =
                InDialect(SqlStatement{UpsertText(level),
                                       UpsertValues(level, parent.empty() ? nullptr : &parent, instance)},
                          SqlDialect::Postgres);
            Result result(RunPrepared(upsert));
            if (result.Status() != PGRES_TUPLES_OK || PQntuples(result.result) != 1) return false;
            parent = result.Text(0, 0);
            parents_.Learn(level, instance, parent);
        }
        return true;
    }

    std::shared_ptr<PostgresPool> pool_;
    std::unique_ptr<PostgresSession> session_;
    KnownParentRows parents_;  // ids of rows written or found, so the next objects skip them
};

}  // namespace

std::unique_ptr<ArchiveIndex> OpenPostgresIndex(const std::string& location, std::string& reason,
                                                bool* created) {
    if (created) *created = false;
    if (!CheckPostgresLocation(location, reason)) return nullptr;
    std::shared_ptr<PostgresPool> pool = PostgresPoolFor(location);
    std::unique_ptr<PostgresSession> session = pool->Take(reason);
    if (!session) return nullptr;
    auto index = std::make_unique<PostgresIndex>(pool, std::move(session));
    if (!pool->SchemaReady()) {
        bool made = false;
        if (!index->PrepareSchema(made, reason)) return nullptr;
        pool->MarkSchemaReady();
        if (created) *created = made;
    }
    return index;
}

}  // namespace pella
