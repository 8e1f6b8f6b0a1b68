// Runs a peer program (a DCMTK tool) for the length of a test: started with posix_spawn, its
// output sent to /dev/null, stopped by its own process id when the object goes away.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/transport.h"

extern char** environ;

namespace testing_support {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// A port that was free a moment ago (the system's choice for a listener on port 0).
inline uint16_t FreePort() {
    pella::TcpTransport probe;
    if (!probe.ListenOnPort(0)) return 0;
    return probe.BoundPort();
}

// Waits, a bounded number of times, until something accepts connections on the port.
inline bool WaitForListener(uint16_t port) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        pella::TcpTransport probe;
        if (probe.Connect("127.0.0.1", std::to_string(port))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace testing_support
