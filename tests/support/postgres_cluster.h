// A throw-away PostgreSQL cluster for the tests of the PostgreSQL archive index: initdb and
// pg_ctl of Debian's postgresql package in a temporary folder, on a free port, run as the
// unprivileged user "nobody" when the tests run as root (the folder is made its own); stopped
// and removed when the test program ends. Missing server programs are a failure with the reason
// (Failure()), never a skip.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace testing_support {

class PostgresCluster {
public:
    // The program's cluster, started on first use.
    static PostgresCluster& Shared() {
        static PostgresCluster cluster;
        return cluster;
    }

    bool Started() const { return started_; }
    const std::string& Failure() const { return failure_; }
    int Port() const { return port_; }

    // A new, empty database of the cluster (SQL_ASCII, as the index wants), as a location for
    // `pella serve --index`; "" (with Failure()) when it cannot be made.
    std::string NewDatabase() {
        const std::string name = "pella" + std::to_string(++databases_);
        CommandResult made = Psql("postgres", "CREATE DATABASE " + name +
                                                  " ENCODING 'SQL_ASCII' TEMPLATE template0 LC_COLLATE 'C' "
                                                  "LC_CTYPE 'C'");
        if (made.exitCode != 0) {
            failure_ = "cannot make a database: " + made.out;
            return "";
        }
        return Location(name);
    }

    std::string Location(const std::string& database) const {
        return "postgresql://pella@127.0.0.1:" + std::to_string(port_) + "/" + database;
    }

    // Runs one SQL text in a database with psql; the rows unaligned, without headers.
    CommandResult Psql(const std::string& database, const std::string& sql) const {
        return Capture(Quote(bin_ + "/psql") + " -X -q -t -A -h 127.0.0.1 -p " + std::to_string(port_) +
                       " -U pella -d " + Quote(database) + " -c " + Quote(sql));
    }

    // Stops the server (fast: sessions are ended) and starts it again on the same port.
    bool Stop() { return AsOwner({bin_ + "/pg_ctl", "-D", data_, "-m", "fast", "-w", "stop"}); }
    bool Start() {
        return AsOwner({bin_ + "/pg_ctl", "-D", data_, "-l", folder_.File("server.log"), "-w", "-o",
                        "-p " + std::to_string(port_) + " -k " + folder_.Path().string() +
                            " -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200",
                        "start"});
    }

    ~PostgresCluster() {
        if (started_) Stop();
    }

private:
    PostgresCluster() {
        bin_ = ServerPrograms();
        if (bin_.empty()) {
            failure_ =
                "PostgreSQL's server programs (initdb, pg_ctl) are not installed under "
                "/usr/lib/postgresql/<version>/bin: install the postgresql package "
                "(scripts/install-deps.sh)";
            return;
        }
        data_ = folder_.File("data");
        if (::geteuid() == 0 && !RunTool("chown nobody " + Quote(folder_.Path().string()))) {
            failure_ = "cannot give the cluster folder to the user nobody";
            return;
        }
        CommandResult init = AsOwnerCapture(
            {bin_ + "/initdb", "-D", data_, "-U", "pella", "-A", "trust", "-E", "SQL_ASCII", "--locale=C"});
        if (init.exitCode != 0) {
            failure_ = "initdb failed: " + init.out;
            return;
        }
        port_ = FreePort();
        started_ = Start();
        if (!started_) failure_ = "pg_ctl start failed; see " + folder_.File("server.log");
    }

    static std::string ServerPrograms() {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
            if (std::filesystem::exists(entry.path() / "bin" / "pg_ctl", ec) &&
                std::filesystem::exists(entry.path() / "bin" / "initdb", ec))
                found.push_back((entry.path() / "bin").string());
        std::sort(found.begin(), found.end());
        return found.empty() ? "" : found.back();
    }

    // A program run as the cluster's owner: "nobody" when the tests run as root.
    CommandResult AsOwnerCapture(const std::vector<std::string>& argv) const {
        std::string line = ::geteuid() == 0 ? "runuser -u nobody -- " : "";
        for (const std::string& arg : argv) line += Quote(arg) + " ";
        return Capture("cd / && " + line);
    }
    bool AsOwner(const std::vector<std::string>& argv) const { return AsOwnerCapture(argv).exitCode == 0; }

    TempDir folder_;
    std::string bin_;
    std::string data_;
    std::string failure_;
    int port_ = 0;
    int databases_ = 0;
    bool started_ = false;
};

}  // namespace testing_support
