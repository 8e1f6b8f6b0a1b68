// A storage server for one test: on a free port, below a temporary folder that is both its
// storage folder and its database root, serving the original table of storage classes;
// stopped when the test ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "services/storage/store_server.h"
#include "support/temp_dir.h"

namespace testing_support {

struct RunningServer {
    explicit RunningServer(const TempDir& dir, int timeoutSeconds = 10,
                           uint64_t maxObjectBytes = pella::kDefaultMaxObjectBytes,
                           uint64_t minFreeBytes = pella::kDefaultMinFreeBytes) {
        pella::StoreServerConfig config;
        config.port = "0";
        config.storageFolder = dir.File("db");
        config.databaseRoot = dir.File("db");
        config.receiveTimeoutSeconds = timeoutSeconds;
        config.maxObjectBytes = maxObjectBytes;
        config.minFreeBytes = minFreeBytes;
        config.allStorageClasses = false;  // the original table, as StartStoreSCP serves
        server = std::make_unique<pella::StoreServer>(config);
        started = server->Start();
        port = std::to_string(server->Port());
    }
    std::unique_ptr<pella::StoreServer> server;
    bool started = false;
    std::string port;
};

}  // namespace testing_support
