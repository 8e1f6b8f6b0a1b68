// The exported storage-server functions and the pella serve command.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>

#include "pella.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

int CountDcm(const fs::path& root) {
    int n = 0;
    if (!fs::exists(root)) return 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.path().extension() == ".dcm") ++n;
    return n;
}

}  // namespace

TEST(StoreServerApi, HandleServerStoresAndStopsWithObjectsOnDisk) {
    TempDir dir;
    EXPECT_EQ(StartStoreServer("", "0", nullptr), nullptr);  // no folder
    StoreServerHandle* server = StartStoreServer(dir.File("store").c_str(), "0", dir.File("index").c_str());
    ASSERT_NE(server, nullptr);
    int port = StoreServerPort(server);
    ASSERT_GT(port, 0);
    EXPECT_EQ(StartStoreServer(dir.File("other").c_str(), std::to_string(port).c_str(), nullptr), nullptr)
        << "a busy port is reported";
    int code = -1;
    RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(port) + " " +
                   Quote((PydicomTestFiles() / "CT_small.dcm").string()) + " >/dev/null 2>&1",
               &code);
    EXPECT_EQ(code, 0);
    StopStoreServer(server);
    EXPECT_EQ(CountDcm(dir.File("store")), 1);
    EXPECT_TRUE(fs::exists(dir.File("index/KPStudy.dir")));
    EXPECT_FALSE(fs::exists(dir.File("store/KPStudy.dir")));
    StopStoreServer(nullptr);
    EXPECT_EQ(StoreServerPort(nullptr), 0);
}

TEST(StoreServerApi, StartStoreSCPKeepsServingUntilStopStoreSCP) {
    TempDir dir;
    int port = FreePort();
    std::string cwd = fs::current_path().string();
    fs::current_path(dir.Path());  // the database root is ./Database
    StartStoreSCP(dir.File("store").c_str(), std::to_string(port).c_str());
    ASSERT_TRUE(WaitForListener(port));
    int code = -1;
    RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(port) + " " +
                   Quote((PydicomTestFiles() / "MR_small.dcm").string()) + " >/dev/null 2>&1",
               &code);
    EXPECT_EQ(code, 0);
    StopStoreSCP();
    fs::current_path(cwd);
    EXPECT_EQ(CountDcm(dir.File("store")), 1);
    EXPECT_TRUE(fs::exists(dir.File("Database/KPStudy.dir")));
    RunCommand("TCP_NODELAY=1 echoscu 127.0.0.1 " + std::to_string(port) + " >/dev/null 2>&1", &code);
    EXPECT_NE(code, 0) << "stopped servers no longer listen";
}

TEST(ServeCommand, StoresAndStopsCleanlyOnSigterm) {
    TempDir dir;
    int port = FreePort();
    PeerProcess serve;
    ASSERT_TRUE(serve.Start({PELLA_CLI_PATH, "serve", "--port", std::to_string(port), "--dir", dir.File("db"),
                             "--log-level", "1"},
                            dir.File("serve.log")));
    ASSERT_TRUE(WaitForListener(port));
    int code = -1;
    RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(port) + " " +
                   Quote((PydicomTestFiles() / "CT_small.dcm").string()) + " >/dev/null 2>&1",
               &code);
    EXPECT_EQ(code, 0);
    serve.Stop();  // SIGTERM
    EXPECT_EQ(CountDcm(dir.File("db")), 1);
    std::string log = RunCommand("cat " + Quote(dir.File("serve.log")));
    EXPECT_NE(log.find("listening on port " + std::to_string(port)), std::string::npos);
    EXPECT_NE(log.find("stopping (SIGTERM)"), std::string::npos);
    EXPECT_NE(log.find("Stored "), std::string::npos);

    // A port that is taken: a clear failure, not a server that never listens.
    StoreServerHandle* holder = StartStoreServer(dir.File("held").c_str(), "0", nullptr);
    ASSERT_NE(holder, nullptr);
    std::string busy =
        RunCommand(std::string(PELLA_CLI_PATH) + " serve --port " + std::to_string(StoreServerPort(holder)) +
                       " --dir " + Quote(dir.File("db")) + " 2>&1",
                   &code);
    StopStoreServer(holder);
    EXPECT_EQ(code, 1) << busy;
    EXPECT_NE(busy.find("cannot listen"), std::string::npos) << busy;
    RunCommand(std::string(PELLA_CLI_PATH) + " serve --log-level 9 2>/dev/null", &code);
    EXPECT_EQ(code, 2);
}

// Option structs carry their size: an unset size is refused with the reason; a host built
// against an older, shorter StoreServerOptions gets the defaults for the fields it lacks.
TEST(StoreServerApi, OptionStructsAreReadAsFarAsTheirSize) {
    TempDir dir;
    char reason[256];
    StoreServerOptions unset{};
    unset.maxAssociations = 4;
    EXPECT_EQ(StartStoreServerWithOptions(dir.File("a").c_str(), "0", nullptr, &unset), nullptr);
    LastFailureText(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("StoreServerOptions.size is 0"), std::string::npos) << reason;

    ClientLimits limits{};
    SetClientLimits(&limits);
    LastFailureText(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("ClientLimits.size is 0"), std::string::npos) << reason;

    // The older struct ended after dimseTimeoutSeconds; what lies beyond is not read.
    StoreServerOptions older{};
    older.size = offsetof(StoreServerOptions, dimseTimeoutSeconds) + sizeof(int32_t);
    older.minFreeBytes = ~uint64_t{0};  // would refuse every object if it were read
    StoreServerHandle* server = StartStoreServerWithOptions(dir.File("b").c_str(), "0", nullptr, &older);
    ASSERT_NE(server, nullptr);
    int code = -1;
    RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(StoreServerPort(server)) + " " +
                   Quote((PydicomTestFiles() / "CT_small.dcm").string()) + " >/dev/null 2>&1",
               &code);
    EXPECT_EQ(code, 0);
    StopStoreServer(server);
    EXPECT_EQ(CountDcm(dir.File("b")), 1);
}
