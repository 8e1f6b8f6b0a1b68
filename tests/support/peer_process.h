// Starts a peer program (a DCMTK tool) for one test and stops it again, on a free port.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

extern char** environ;

namespace testing_support {

// True once something accepts connections on 127.0.0.1:port (waits at most `seconds`).
inline bool WaitForListener(int port, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (up) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class PeerProcess {
public:
    PeerProcess() = default;
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;
    ~PeerProcess() { Stop(); }

    // Starts `argv[0]` (looked up on PATH) with its output sent to `logFile` (or discarded).
    bool Start(const std::vector<std::string>& argv, const std::string& logFile = "/dev/null") {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
        return pid_ > 0;
    }

    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

    // Sends a signal; false when the process is not running.
    bool Signal(int signal) const { return pid_ > 0 && kill(pid_, signal) == 0; }

    // Waits up to `seconds` for the process to end; true (with its exit status) when it did.
    bool WaitForExit(double seconds, int* status = nullptr) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (pid_ > 0) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                pid_ = -1;
                if (status != nullptr) *status = raw;
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

// Starts DCMTK's storescp on a free port, writing into `folder`; extra arguments go before the
// port. Returns the port, or -1.
inline int StartStorescp(PeerProcess& peer, const std::string& folder,
                         const std::vector<std::string>& extra = {},
                         const std::string& logFile = "/dev/null") {
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = FreePort();
        std::vector<std::string> argv = {"storescp", "--output-directory", folder};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(std::to_string(port));
        if (!peer.Start(argv, logFile)) return -1;
        if (WaitForListener(port)) return port;
        peer.Stop();
    }
    return -1;
}

}  // namespace testing_support
