// Verification against DCMTK's storescp as the real peer, and the pella echo command.
#include <gtest/gtest.h>

#include <chrono>

#include "log/protocol_log.h"
#include "services/verification/echo.h"
#include "support/log_file.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

TEST(EchoAgainstStorescp, SucceedsAndLogsMoreAtEachLevel) {
    LogSettingsGuard guard;
    TempDir dir;
    PeerProcess storescp;
    int port = StartStorescp(storescp, dir.Path().string());
    ASSERT_GT(port, 0) << "storescp did not start";
    std::string portText = std::to_string(port);

    std::string logs[4];
    for (int level = 1; level <= 3; ++level) {
        std::string file = dir.File("level" + std::to_string(level) + ".log");
        SetLogSettings(level, file);
        std::string calling = "PELLA";
        EXPECT_TRUE(EchoSCU("127.0.0.1", portText, calling, "STORESCP")) << level;
        logs[level] = ReadText(file);
    }
    EXPECT_NE(logs[1].find("Connected to: 127.0.0.1:" + portText), std::string::npos);
    EXPECT_NE(logs[1].find("Item Type: 2"), std::string::npos);
    EXPECT_NE(logs[1].find("Presentation Context Accept, Transfer Syntax: 1.2.840.10008.1.2"),
              std::string::npos);
    EXPECT_EQ(logs[1].find("(0000,0100)"), std::string::npos);  // no message dumps at level 1
    EXPECT_NE(logs[2].find("(0000,0100),  2,\tUS, \"48\" - Command Field"), std::string::npos);
    EXPECT_NE(logs[2].find("PELLA >> STORESCP"), std::string::npos);
    EXPECT_EQ(logs[2].find(" >> 01 00"), std::string::npos);  // no hex dumps at level 2
    EXPECT_NE(logs[3].find(">> 01 00 00 00 00 "), std::string::npos);
    EXPECT_NE(logs[3].find("<< "), std::string::npos);
}

TEST(EchoAgainstStorescp, RejectedAssociationFailsWithTheReason) {
    LogSettingsGuard guard;
    TempDir dir;
    PeerProcess storescp;
    int port = StartStorescp(storescp, dir.Path().string(), {"--refuse"});
    ASSERT_GT(port, 0);
    std::string file = dir.File("refused.log");
    SetLogSettings(0, file);
    std::string calling;
    EXPECT_FALSE(EchoSCU("127.0.0.1", std::to_string(port), calling, "STORESCP"));
    // storescp --refuse rejects permanently as the service user, no reason given.
    const std::string reason =
        "Association Rejected: result 1 (permanent), source 1 (service user), reason 1 (no reason given)";
    EXPECT_NE(ReadText(file).find(reason), std::string::npos);
    EXPECT_EQ(LastFailure(), reason);
}

TEST(EchoAgainstStorescp, NobodyListeningFailsQuickly) {
    int port = FreePort();
    std::string calling;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(EchoSCU("127.0.0.1", std::to_string(port), calling, "ANY"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(LastFailure().find("Connection to 127.0.0.1"), std::string::npos);
}

TEST(EchoCommand, SucceedsAgainstStorescpAndReportsFailures) {
    TempDir dir;
    PeerProcess storescp;
    int port = StartStorescp(storescp, dir.Path().string());
    ASSERT_GT(port, 0);
    std::string pella = PELLA_CLI_PATH;
    int code = -1;
    std::string out =
        RunCommand(pella + " echo 127.0.0.1 " + std::to_string(port) + " -aet ME -aec YOU", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("succeeded"), std::string::npos);
    RunCommand(pella + " echo --repeat 20 127.0.0.1 " + std::to_string(port), &code);
    EXPECT_EQ(code, 0);

    std::string log = dir.File("cli.log");
    RunCommand(pella + " echo 127.0.0.1 " + std::to_string(port) + " --log " + Quote(log) + " --log-level 2",
               &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(ReadText(log).find("Command Field"), std::string::npos);

    storescp.Stop();
    std::string err = RunCommand(pella + " echo 127.0.0.1 " + std::to_string(port) + " 2>&1", &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("Connection to 127.0.0.1"), std::string::npos);
    RunCommand(pella + " echo 127.0.0.1", &code);
    EXPECT_EQ(code, 2);
    RunCommand(pella + " echo -aet SEVENTEEN-CHARSXX 127.0.0.1 104", &code);
    EXPECT_EQ(code, 2);
}
