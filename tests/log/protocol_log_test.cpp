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

TEST(ProtocolLog, LinesFromTwoThreadsNeverInterleaveAndCarryTheirThreadsTag) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string file = dir.File("threads.log");
    SetLogSettings(3, file);
    const std::string a(200, 'a'), b(200, 'b');
    auto writer = [](const std::string& tag, const std::string& text) {
        LogContext context(tag);
        for (int i = 0; i < 200; ++i) {
            WriteLogLine(text);
            if (i == 100) LogHexDump(reinterpret_cast<const uint8_t*>(text.data()), 4, true);
        }
    };
    std::thread t1(writer, "A1", a), t2(writer, "A2", b);
    t1.join();
    t2.join();
    std::istringstream lines(ReadText(file));
    std::string line;
    int count = 0, dumps = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line == "\r" || line.find_first_not_of("ab\r") == std::string::npos) continue;
        if (line.find(">>") != std::string::npos) {
            EXPECT_TRUE(line.rfind("[A1]      4 >> 61", 0) == 0 || line.rfind("[A2]      4 >> 62", 0) == 0)
                << line;
            ++dumps;
            continue;
        }
        ++count;
        std::string body = line.substr(10);
        EXPECT_TRUE(body == "[A1] " + a || body == "[A2] " + b) << line;
    }
    EXPECT_EQ(count, 400);
    EXPECT_EQ(dumps, 2);

    // Contexts nest and end with their scope.
    std::filesystem::remove(file);
    {
        LogContext outer("outer");
        {
            LogContext inner("inner");
            WriteLogLine("x");
        }
        WriteLogLine("y");
    }
    WriteLogLine("z");
    std::string text = ReadText(file);
    EXPECT_NE(text.find(", [inner] x\n"), std::string::npos) << text;
    EXPECT_NE(text.find(", [outer] y\n"), std::string::npos) << text;
    EXPECT_NE(text.find(", z\n"), std::string::npos) << text;
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
