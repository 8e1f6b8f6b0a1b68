// The connections of this process to one PostgreSQL index, shared by every user of it: a few
// stay open between uses (a worker takes one, hands it back), each with the statements it has
// prepared. While the database cannot be reached, a new connection is tried only after a pause
// that grows with each failure (up to a few seconds), and asking fails at once meanwhile, so that
// stores are refused quickly and the database is not flooded when it comes back.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pella {

// One open connection and the statements prepared on it (text to name).
struct PostgresSession {
    PGconn* connection = nullptr;
    std::map<std::string, std::string> prepared;

    PostgresSession() = default;
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;
    ~PostgresSession();

    bool Broken() const { return connection == nullptr || PQstatus(connection) != CONNECTION_OK; }
};

class PostgresPool {
public:
    static constexpr std::size_t kMaxIdle = 8;

    explicit PostgresPool(std::string location) : location_(std::move(location)) {}

    // An open connection (one kept, or a new one); null with `reason` when none can be made now.
    std::unique_ptr<PostgresSession> Take(std::string& reason);

    // Hands a connection back: kept when it is healthy and outside any transaction.
    void Give(std::unique_ptr<PostgresSession> session);

    // Whether the schema was checked by this process (once per pool), and the mark it is.
    bool SchemaReady();
    void MarkSchemaReady();

    const std::string& Location() const { return location_; }

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<PostgresSession> Connect(std::string& reason);

    const std::string location_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<PostgresSession>> idle_;
    Clock::duration pause_{};
    Clock::time_point nextAttempt_{};
    bool schemaReady_ = false;
};

// The pool of a location, made on first use and kept for the process.
std::shared_ptr<PostgresPool> PostgresPoolFor(const std::string& location);

// True for a location naming a PostgreSQL database (postgresql:// or postgres://).
bool IsPostgresLocation(const std::string& location);

// Checks a PostgreSQL location: parsable, and without a password (which belongs in PGPASSWORD
// or ~/.pgpass, not on a command line). False with `reason` otherwise.
bool CheckPostgresLocation(const std::string& location, std::string& reason);

}  // namespace pella
