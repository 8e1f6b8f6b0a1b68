// `pella serve` as a process for one test: on a free port, storing and indexing into a folder;
// stopped when the test ends.
#pragma once

#include <string>
#include <vector>

#include "support/loopback_listener.h"
#include "support/peer_process.h"

namespace testing_support {

struct ServeProcess {
    explicit ServeProcess(const std::string& folder, const std::vector<std::string>& options = {},
                          const std::string& logFile = "/dev/null") {
        port = FreePort();
        std::vector<std::string> argv = {
            PELLA_CLI_PATH, "serve", "--port",      std::to_string(port),
            "--dir",        folder,  "--log-level", logFile == "/dev/null" ? "0" : "1"};
        argv.insert(argv.end(), options.begin(), options.end());
        started = process.Start(argv, logFile) && WaitForListener(port);
    }
    PeerProcess process;
    int port = 0;
    bool started = false;
};

}  // namespace testing_support
