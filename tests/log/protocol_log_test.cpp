#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "log/protocol_log.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::LogSettingsGuard;
using testing_support::ReadText;
using testing_support::TempDir;

TEST(ProtocolLog, WritesTimeStampedLinesAndNothingWithoutAFileName) {
    LogSettingsGuard guard;
    TempDir dir;
    SetLogSettings(0, "");
    WriteLogLine("dropped");
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

    std::string file = dir.File("pella.log");
    SetLogSettings(1, file);
    WriteLogLine("hello");
    WriteLogLine("");
    std::string text = ReadText(file);
    ASSERT_EQ(text.size(), std::string("HH:MM:SS, hello\nHH:MM:SS, \n").size());
    EXPECT_EQ(text.substr(2, 1), ":");
    EXPECT_EQ(text.substr(8, 8), ", hello\n");
    EXPECT_EQ(text.substr(24), ", \n");

    SetLogSettings(1, dir.File("missing-folder/pella.log"));
    WriteLogLine("never fails");  // an unopenable file drops the line
}

TEST(ProtocolLog, HexDumpShowsAtMost256Bytes) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string file = dir.File("hex.log");
    SetLogSettings(3, file);

    const uint8_t release[10] = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    LogHexDump(release, sizeof release, true);
    EXPECT_EQ(ReadText(file), "    10 >> 05 00 00 00 00 04 00 00 00 00 \r\n..........\r\n\r\n");

    std::vector<uint8_t> block(257, 'A');
    std::filesystem::remove(file);
    LogHexDump(block.data(), 256, false);
    std::string full = ReadText(file);
    EXPECT_EQ(full.find("[MORE DATA...]"), std::string::npos);
    EXPECT_EQ(full.substr(0, 10), "   256 << ");
    EXPECT_NE(full.find(std::string(256, 'A') + "\r\n\r\n"), std::string::npos);

    std::filesystem::remove(file);
    LogHexDump(block.data(), 257, false);
    std::string cut = ReadText(file);
    EXPECT_EQ(cut.substr(0, 10), "   257 << ");
    EXPECT_NE(cut.find("41  [MORE DATA...]\r\n" + std::string(256, 'A') + " [MORE DATA...]\r\n\r\n"),
              std::string::npos);
}

TEST(ProtocolLog, LinesFromTwoThreadsNeverInterleave) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string file = dir.File("threads.log");
    SetLogSettings(1, file);
    const std::string a(200, 'a'), b(200, 'b');
    auto writer = [](const std::string& text) {
        for (int i = 0; i < 200; ++i) WriteLogLine(text);
    };
    std::thread t1(writer, a), t2(writer, b);
    t1.join();
    t2.join();
    std::istringstream lines(ReadText(file));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        std::string body = line.substr(10);
        EXPECT_TRUE(body == a || body == b) << line;
    }
    EXPECT_EQ(count, 400);
}

TEST(ProtocolLog, LastFailureIsKeptPerThread) {
    LogSettingsGuard guard;
    ClearLastFailure();
    LogFailure("Association Rejected...");
    EXPECT_EQ(LastFailure(), "Association Rejected...");
    std::string other = "unset";
    std::thread([&other] { other = LastFailure(); }).join();
    EXPECT_EQ(other, "");
    ClearLastFailure();
    EXPECT_EQ(LastFailure(), "");
}
