#include "services/index/postgres_connections.h"

#include <algorithm>

#include "log/protocol_log.h"
#include "services/index/libpq_on_demand.h"

namespace pella {

namespace {

using namespace std::chrono_literals;

constexpr auto kFirstPause = 250ms;
constexpr auto kLongestPause = 4s;

// What a row lock of another connection is waited for (filing holds one for an object's rows),
// as SQLite's busy wait; the wait for a new connection.
constexpr const char* kSessionOptions = "-c lock_timeout=60000";
constexpr const char* kConnectSeconds = "5";

std::string ConnectionError(PGconn* connection) {
    const std::string text = connection ? PQerrorMessage(connection) : "out of memory";
    // libpq's message spans lines ("\n\tIs the server running ..."): one line for the log.
    std::string line;
    for (char c : text) {
        const bool space = c == '\n' || c == '\t' || c == ' ';
        if (!space || (!line.empty() && line.back() != ' ')) line += space ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// The database's notices ("relation ... already exists, skipping") are not for the user.
void IgnoreNotice(void*, const char*) {}

}  // namespace

PostgresSession::~PostgresSession() {
    if (connection) PQfinish(connection);
}

std::unique_ptr<PostgresSession> PostgresPool::Connect(std::string& reason) {
    if (!LibpqAvailable(reason)) return nullptr;
    const char* keywords[] = {"dbname", "options", "connect_timeout", "application_name", nullptr};
    const char* values[] = {location_.c_str(), kSessionOptions, kConnectSeconds, "pella", nullptr};
    auto session = std::make_unique<PostgresSession>();
    session->connection = PQconnectdbParams(keywords, values, 1);
    if (!session->Broken()) {
        PQsetNoticeProcessor(session->connection, IgnoreNotice, nullptr);
        return session;
    }
    reason = "cannot connect to the index database: " + ConnectionError(session->connection);
    return nullptr;
}

std::unique_ptr<PostgresSession> PostgresPool::Take(std::string& reason) {
    {
        std::lock_guard lock(mutex_);
        while (!idle_.empty()) {
            std::unique_ptr<PostgresSession> session = std::move(idle_.back());
            idle_.pop_back();
            if (!session->Broken()) return session;
        }
        if (Clock::now() < nextAttempt_) {
            reason = "the index database is unreachable; the next attempt follows in a moment";
            return nullptr;
        }
    }
    std::unique_ptr<PostgresSession> session = Connect(reason);
    std::lock_guard lock(mutex_);
    if (session) {
        if (pause_ != Clock::duration{}) WriteLogLine("Archive index: the index database is reachable again");
        pause_ = {};
        return session;
    }
    pause_ = pause_ == Clock::duration{} ? Clock::duration(kFirstPause)
                                         : std::min<Clock::duration>(pause_ * 2, kLongestPause);
    nextAttempt_ = Clock::now() + pause_;
    WriteLogLine("Archive index: " + reason);
    return nullptr;
}

void PostgresPool::Give(std::unique_ptr<PostgresSession> session) {
    if (!session || session->Broken() || PQtransactionStatus(session->connection) != PQTRANS_IDLE) return;
    std::lock_guard lock(mutex_);
    if (idle_.size() < kMaxIdle) idle_.push_back(std::move(session));
}

bool PostgresPool::SchemaReady() {
    std::lock_guard lock(mutex_);
    return schemaReady_;
}

void PostgresPool::MarkSchemaReady() {
    std::lock_guard lock(mutex_);
    schemaReady_ = true;
}

std::shared_ptr<PostgresPool> PostgresPoolFor(const std::string& location) {
    static auto* mutex = new std::mutex;
    static auto* pools = new std::map<std::string, std::shared_ptr<PostgresPool>>;
    std::lock_guard lock(*mutex);
    auto& pool = (*pools)[location];
    if (!pool) pool = std::make_shared<PostgresPool>(location);
    return pool;
}

bool IsPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

bool CheckPostgresLocation(const std::string& location, std::string& reason) {
    if (!IsPostgresLocation(location)) {
        reason = "the index location must be postgresql://[user@]host[:port]/database";
        return false;
    }
    if (!LibpqAvailable(reason)) return false;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
    if (!options) {
        reason = std::string("cannot read the index location: ").append(error ? error : "out of memory");
        PQfreemem(error);
        return false;
    }
    bool password = false;
    for (PQconninfoOption* option = options; option->keyword; ++option)
        if (std::string(option->keyword) == "password" && option->val && *option->val) password = true;
    PQconninfoFree(options);
    if (password) {
        reason = "the index location must not hold a password: give it in PGPASSWORD or ~/.pgpass";
        return false;
    }
    return true;
}

}  // namespace pella
