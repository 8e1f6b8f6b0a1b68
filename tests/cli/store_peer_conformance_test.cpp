// pella store and send-series against storescp's limits and offers: PDUs at the peer's maximum
// length, compressed and big-endian files sent as they stand when the peer takes them, and
// converted or refused with the reason when it does not.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/log_file.h"
#include "support/run_command.h"
#include "support/storescp_run.h"

using namespace testing_support;

namespace {

CommandResult Pella(std::vector<std::string> args) {
    args.insert(args.begin(), PELLA_CLI_PATH);
    return RunCommand(args, true);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// PDU lengths of the P-DATA-TF PDUs in a level-3 log (one hex-dumped header per PDU).
std::vector<uint32_t> SentPDataLengths(const std::string& log) {
    std::vector<uint32_t> lengths;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t at = line.find(" 12 >> 04 00 ");
        if (at == std::string::npos) continue;
        std::istringstream bytes(line.substr(at + 13));
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned b = 0;
            bytes >> std::hex >> b;
            length = (length << 8) | b;
        }
        lengths.push_back(length);
    }
    return lengths;
}

}  // namespace

TEST(StorePeerConformance, PdusFollowTheMaximumStorescpAnnounces) {
    for (uint32_t maxPdu : {4096u, 131072u}) {
        StorescpRun peer;
        ASSERT_TRUE(peer.Start({"--max-pdu", std::to_string(maxPdu)}));
        std::string log = peer.Dir().File("store.log");
        CommandResult stored = Pella({"store", "--log-level", "3", "--log", log, "127.0.0.1", peer.Port(),
                                      PydicomFile("CT_small.dcm"), PydicomFile("MR_small.dcm")});
        EXPECT_EQ(stored.exitCode, 0) << maxPdu << "\n" << stored.out;
        for (const char* name : {"CT_small.dcm", "MR_small.dcm"})
            EXPECT_EQ(peer.Compare(PydicomFile(name)).exitCode, 0) << maxPdu << " " << name;
        std::vector<uint32_t> lengths = SentPDataLengths(ReadText(log));
        ASSERT_FALSE(lengths.empty()) << maxPdu;
        uint32_t largest = 0;
        for (uint32_t length : lengths) largest = std::max(largest, length);
        EXPECT_LE(largest, maxPdu);
        // The 4 KiB peer gets full PDUs; the 128 KiB one takes CT_small's 39 KB data set in one.
        if (maxPdu == 4096) {
            EXPECT_EQ(largest, 4096u);
        } else {
            EXPECT_GT(largest, 16384u);
        }

        // A series on one association, the same limit.
        std::string series = peer.Dir().File("series");
        std::filesystem::create_directories(series);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm",
                                            series + "/ct" + std::to_string(i) + ".dcm"));
        std::string seriesLog = peer.Dir().File("series.log");
        CommandResult sent = Pella({"send-series", "--no-progress", "--log-level", "3", "--log", seriesLog,
                                    "127.0.0.1", peer.Port(), series});
        EXPECT_EQ(sent.exitCode, 0) << sent.out;
        for (const auto& entry : std::filesystem::directory_iterator(series))
            EXPECT_EQ(peer.Compare(entry.path().string()).exitCode, 0) << entry.path();
        for (uint32_t length : SentPDataLengths(ReadText(seriesLog))) EXPECT_LE(length, maxPdu);
    }
}

// storescp +xa takes every syntax it knows: each file goes in its own syntax, unconverted, and
// arrives with identical data (pixel data byte for byte).
TEST(StorePeerConformance, CompressedAndBigEndianFilesGoAsTheyStand) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"+xa"}));
    const std::pair<const char*, const char*> samples[] = {
        {"MR_small_RLE.dcm", "1.2.840.10008.1.2.5"},
        {"MR_small_jpeg_ls_lossless.dcm", "1.2.840.10008.1.2.4.80"},
        {"JPEG2000.dcm", "1.2.840.10008.1.2.4.91"},
        {"SC_rgb_jpeg_dcmtk.dcm", "1.2.840.10008.1.2.4.50"},
        {"SC_rgb_jpeg_gdcm.dcm", "1.2.840.10008.1.2.4.70"},
        {"MR_small_bigendian.dcm", "1.2.840.10008.1.2.2"},
    };
    for (const auto& [name, syntax] : samples) {
        CommandResult stored = Pella({"store", "127.0.0.1", peer.Port(), PydicomFile(name)});
        EXPECT_EQ(stored.exitCode, 0) << name << "\n" << stored.out;
        CommandResult compared = peer.Compare(PydicomFile(name));
        EXPECT_EQ(compared.exitCode, 0) << name << "\n" << compared.out;
        EXPECT_EQ(FirstLine(compared.out), syntax) << name;
    }
}

// storescp taking uncompressed syntaxes only: with --no-convert every compressed file is
// refused with the reason; by default (or --convert) the files the codec registry decodes
// (JPEG, RLE) arrive uncompressed.
TEST(StorePeerConformance, UncompressedOnlyPeerGetsConvertedFilesOrAReason) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    for (const char* name : {"MR_small_RLE.dcm", "SC_rgb_jpeg_gdcm.dcm", "JPEG2000.dcm"}) {
        CommandResult refused = Pella({"store", "--no-convert", "127.0.0.1", peer.Port(), PydicomFile(name)});
        EXPECT_EQ(refused.exitCode, 1) << name;
        EXPECT_NE(refused.out.find("transfer syntaxes not supported"), std::string::npos) << name << "\n"
                                                                                          << refused.out;
        EXPECT_EQ(peer.Compare(PydicomFile(name)).exitCode, 2) << name;
    }
    CommandResult converted = Pella({"store", "127.0.0.1", peer.Port(), PydicomFile("SC_rgb_jpeg_gdcm.dcm")});
    EXPECT_EQ(converted.exitCode, 0) << converted.out;
    CommandResult compared = peer.Compare(PydicomFile("SC_rgb_jpeg_gdcm.dcm"));
    EXPECT_NE(compared.exitCode, 2);
    EXPECT_EQ(FirstLine(compared.out), "1.2.840.10008.1.2.1");
    // RLE too: the codec registry decodes it.
    CommandResult rle =
        Pella({"store", "--convert", "127.0.0.1", peer.Port(), PydicomFile("MR_small_RLE.dcm")});
    EXPECT_EQ(rle.exitCode, 0) << rle.out;
    EXPECT_EQ(FirstLine(peer.Compare(PydicomFile("MR_small_RLE.dcm")).out), "1.2.840.10008.1.2.1");
}

// pella echo logs the command sets at level 2, on one association or several echoes.
TEST(StorePeerConformance, EchoDumpsItsMessagesAtLevelTwo) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    for (const char* repeat : {"1", "2"}) {
        std::string log = peer.Dir().File(std::string("echo") + repeat + ".log");
        CommandResult echo =
            Pella({"echo", "--repeat", repeat, "--log-level", "2", "--log", log, "127.0.0.1", peer.Port()});
        EXPECT_EQ(echo.exitCode, 0) << echo.out;
        std::string text = ReadText(log);
        EXPECT_NE(text.find(" >> "), std::string::npos) << repeat << "\n" << text;
        EXPECT_NE(text.find(" << "), std::string::npos) << repeat << "\n" << text;
        EXPECT_NE(text.find("Message ID Being Responded To"), std::string::npos) << repeat << "\n" << text;
    }
}
