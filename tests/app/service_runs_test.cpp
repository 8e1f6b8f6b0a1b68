// The five test buttons against real peers the test starts, against a port where nothing
// listens, and with the file dialog cancelled: the memo lines, the result line and the run's log.
#include <gtest/gtest.h>

#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numeric>
#include <set>

#include "app/log_file_name.h"
#include "app/test_settings.h"
#include "front_end_peers.h"
#include "pella.h"
#include "support/loopback_listener.h"
#include "window_driver.h"

using namespace pellatool_testing;
using testing_support::PydicomFile;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

void WriteSettings(const TempDir& dir, int port, const std::string& calledAETitle, int32_t logLevel = 0) {
    pellatool::TestSettings settings;
    settings.remotePort = std::to_string(port);
    settings.remoteAETitle = calledAETitle;
    settings.localAETitle = "PELLATOOL";
    settings.logLevel = logLevel;
    ASSERT_EQ(pellatool::SaveSettings(dir.File(pellatool::kSettingsFileName), settings), "");
}

// The memo without the values' trailing padding.
Lines Unpadded(Lines memo) {
    for (std::string& line : memo)
        while (!line.empty() && line.back() == ' ') line.pop_back();
    return memo;
}

// The lines after "<caption>" of every record block of a query's memo, in memo order.
Lines ValuesOf(const Lines& memo, const std::string& caption) {
    Lines values;
    for (const std::string& line : memo)
        if (line.rfind(caption, 0) == 0) values.push_back(line.substr(caption.size()));
    return values;
}

// A query's memo: "No studies: n", an empty line, n blocks of `fields` lines and an empty line,
// then the result line.
void ExpectQueryLayout(const Lines& memo, std::size_t records, std::size_t fields,
                       const std::string& result) {
    ASSERT_EQ(memo.size(), 2 + records * (fields + 1) + 1);
    EXPECT_EQ(memo[0], "No studies: " + std::to_string(records));
    EXPECT_EQ(memo[1], "");
    for (std::size_t r = 0; r < records; ++r) EXPECT_EQ(memo[2 + r * (fields + 1) + fields], "");
    EXPECT_EQ(memo.back(), result);
}

// The Study Instance UIDs findscu finds on the archive (study level, every study).
std::multiset<std::string> FindscuStudies(const Peer& peer) {
    TempDir out;
    int exit = -1;
    testing_support::RunCommand("findscu -S -aec " + peer.calledAETitle + " -X -od " +
                                    testing_support::Quote(out.Path().string()) + " localhost " +
                                    std::to_string(peer.port) + " -k 0008,0052=STUDY -k 0020,000D 2>&1",
                                &exit);
    EXPECT_EQ(exit, 0);
    std::multiset<std::string> uids;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        uids.insert(testing_support::RunCommand("dcmdump -q +P 0020,000D " +
                                                testing_support::Quote(entry.path().string()) +
                                                " | sed 's/.*\\[\\(.*\\)\\].*/\\1/' | tr -d '\\n'"));
    return uids;
}

struct ServiceCase {
    const char* name;    // the test's name
    const char* button;  // its button
    std::function<Peer(const TempDir&, PeerProcess&)> startPeer;
    std::function<void(const Lines& memo, const TempDir& dir, const Peer& peer)> check;
};

std::ostream& operator<<(std::ostream& out, const ServiceCase& c) {
    return out << c.name;
}

const ServiceCase kServiceCases[] = {
    {"ECHO", "Button3", StartStorePeer,
     [](const Lines& memo, const TempDir&, const Peer&) { EXPECT_EQ(memo, Lines{"ECHO OK"}); }},
    {"STORE", "Button4", StartStorePeer,
     [](const Lines& memo, const TempDir& dir, const Peer&) {
         EXPECT_EQ(memo, Lines{"STORE OK"});
         // JPEG lossless was wanted, the peer takes it, so the object arrives converted.
         std::vector<fs::path> received;
         for (const auto& entry : fs::directory_iterator(dir.File("received")))
             received.push_back(entry.path());
         ASSERT_EQ(received.size(), 1u);
         EXPECT_NE(ReadText(received[0].string()).find("1.2.840.10008.1.2.4.70"), std::string::npos);
     }},
    {"FIND", "Button5",
     [](const TempDir& dir, PeerProcess& process) { return StartArchivePeer(dir, process); },
     [](const Lines& memo, const TempDir&, const Peer& peer) {
         ExpectQueryLayout(memo, ArchiveSamples().size(), 13, "FIND OK");
         Lines uids = ValuesOf(memo, "StudyInstanceUID: ");
         EXPECT_EQ(std::multiset<std::string>(uids.begin(), uids.end()), FindscuStudies(peer));
         Lines names = ValuesOf(memo, "PatientName: ");
         EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
                   (std::set<std::string>{"CompressedSamples^CT1", "CompressedSamples^MR1"}));
     }},
    {"WORKLIST", "Button9", StartWorklistPeer,
     [](const Lines& memo, const TempDir&, const Peer&) {
         ExpectQueryLayout(memo, WorklistSteps().size(), 9, "WORKLIST OK");
         std::multiset<std::string> shown, expected;
         for (std::size_t r = 0; r < WorklistSteps().size(); ++r)
             shown.insert(
                 std::accumulate(memo.begin() + 2 + r * 10, memo.begin() + 2 + r * 10 + 9, std::string(),
                                 [](std::string all, const std::string& line) { return all + line + "|"; }));
         for (const ScheduledStep& s : WorklistSteps())
             expected.insert(std::string("PatientName: ") + s.patientName + "|PatientID: " + s.patientID +
                             "|PatientBD: 19700101|PatientSex: F|Modality: " + s.modality +
                             "|Scheduled Station AET: " + s.stationAETitle +
                             "|Scheduled Procedure Step Start Date: " + s.startDate +
                             "|Scheduled Procedure Step Start Time: " + s.startTime +
                             "|Scheduled Performing Physician: " + s.performingPhysician + "|");
         EXPECT_EQ(shown, expected);
     }},
    {"PRINT", "Button8", StartPrintPeer,
     [](const Lines& memo, const TempDir& dir, const Peer&) {
         EXPECT_EQ(memo, Lines{"PRINT OK"});
         // The fixed values and the first entry of each print list (the settings hold position 0).
         std::string received = ReadText(dir.File("print/dcmprscp.log"));
         for (const char* value : {"[1]", "[MED]", "[BLUE FILM]", "[MAGAZINE]", "[STANDARD\\1,1]",
                                   "[PORTRAIT]", "[14INX17IN]", "[REPLICATE]"})
             EXPECT_NE(received.find(value), std::string::npos) << value << " was not sent";
     }},
};

class ServiceRun : public ::testing::TestWithParam<ServiceCase> {};

// With PELLATOOL_SCREENSHOTS set to a folder, the window after each run is saved there as
// <NAME>.png (docs/pellatool.png is the one after FIND).
void SaveScreenshot(pellatool::TForm1& window, const std::string& name) {
    const char* folder = std::getenv("PELLATOOL_SCREENSHOTS");
    if (folder != nullptr && folder[0] != '\0')
        window.grab().save(QString::fromStdString(std::string(folder) + "/" + name + ".png"));
}

TEST_P(ServiceRun, AgainstItsPeerEndsOkWithTheFoundLines) {
    const ServiceCase& c = GetParam();
    TempDir dir;
    PeerProcess process;
    Peer peer = c.startPeer(dir, process);
    ASSERT_GT(peer.port, 0) << "the peer could not be started";
    WriteSettings(dir, peer.port, peer.calledAETitle);
    auto window = MakeWindow(dir, PydicomFile("CT_small.dcm"));
    ClickAndWait(*window, c.button);
    c.check(Unpadded(MemoLines(*window)), dir, peer);
    SaveScreenshot(*window, c.name);
}

TEST_P(ServiceRun, AgainstAClosedPortFailsWithTheReasonInTheMemoAndTheRunsLog) {
    const ServiceCase& c = GetParam();
    TempDir dir;
    int port = testing_support::FreePort();
    WriteSettings(dir, port, "NOBODY");
    auto window = MakeWindow(dir, PydicomFile("CT_small.dcm"));
    ClickAndWait(*window, c.button);
    std::string failed = std::string(c.name) + " Failed!";
    bool query = std::string(c.name) == "FIND" || std::string(c.name) == "WORKLIST";
    Lines memo = MemoLines(*window);
    ASSERT_GE(memo.size(), 2u);
    EXPECT_EQ(memo.back(), failed);
    // The library's reason, on the line before.
    const std::string& reason = memo[memo.size() - 2];
    EXPECT_EQ(reason.rfind("Reason: ", 0), 0u) << reason;
    EXPECT_NE(reason.find("Connection refused"), std::string::npos) << reason;
    if (query) {
        EXPECT_EQ(Lines(memo.begin(), memo.begin() + 2), (Lines{"No studies: 0", ""}));
    }
    std::string log = ReadText(pellatool::TodaysLogFileName(StartDirectoryOf(dir), c.name));
    EXPECT_NE(log.find(std::to_string(port)), std::string::npos) << "no reason in the log:\n" << log;
}

INSTANTIATE_TEST_SUITE_P(FrontEnd, ServiceRun, ::testing::ValuesIn(kServiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// STORE takes several files: each arrives, on one association.
TEST(StoreRun, SendsEveryChosenFile) {
    TempDir dir;
    PeerProcess process;
    Peer peer = StartStorePeer(dir, process);
    ASSERT_GT(peer.port, 0);
    WriteSettings(dir, peer.port, peer.calledAETitle);
    auto window = MakeWindow(dir);
    window->SetFileChooser(std::make_unique<ScriptedChooser>(std::vector<std::string>{
        PydicomFile("CT_small.dcm"), PydicomFile("MR_small.dcm"), PydicomFile("rtplan.dcm")}));
    ClickAndWait(*window, "Button4");
    EXPECT_EQ(MemoLines(*window), Lines{"STORE OK"});
    std::size_t received = 0;
    for (const auto& entry : fs::directory_iterator(dir.File("received")))
        received += entry.is_regular_file();
    EXPECT_EQ(received, 3u);
}

TEST(FindRun, EmptyArchiveShowsNoStudiesAndEndsOk) {
    TempDir dir;
    PeerProcess process;
    Peer peer = StartArchivePeer(dir, process, {});
    ASSERT_GT(peer.port, 0);
    WriteSettings(dir, peer.port, peer.calledAETitle);
    auto window = MakeWindow(dir);
    ClickAndWait(*window, "Button5");
    EXPECT_EQ(MemoLines(*window), (Lines{"No studies: 0", "", "FIND OK"}));
}

// The tests that ask for a file: cancelling the dialog fails the run before anything connects.
struct FileTest {
    const char* name;
    const char* button;
};

std::ostream& operator<<(std::ostream& out, const FileTest& t) {
    return out << t.name;
}

class CancelledFileDialog : public ::testing::TestWithParam<FileTest> {};

TEST_P(CancelledFileDialog, FailsWithoutConnecting) {
    const auto& [name, button] = GetParam();
    TempDir dir;
    testing_support::LoopbackListener listener;
    WriteSettings(dir, listener.Port(), "ANYONE");
    int asked = 0;
    auto window = MakeWindow(dir);
    window->SetFileChooser(std::make_unique<ScriptedChooser>(std::nullopt, &asked));
    ClickAndWait(*window, button);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(MemoLines(*window), Lines{std::string(name) + " Failed!"});
    EXPECT_LT(listener.Accept(0), 0) << "a cancelled run connected to the peer";
}

INSTANTIATE_TEST_SUITE_P(FrontEnd, CancelledFileDialog,
                         ::testing::Values(FileTest{"STORE", "Button4"}, FileTest{"PRINT", "Button8"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
