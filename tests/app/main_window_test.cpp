// The main window: its buttons, the header dump, closing while a test runs, and runs side by
// side writing one log file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <regex>

#include "app/log_file_name.h"
#include "app/main_window.h"
#include "app/test_settings.h"
#include "front_end_peers.h"
#include "pella.h"
#include "support/loopback_listener.h"
#include "window_driver.h"

using namespace pellatool;
using namespace pellatool_testing;
using testing_support::PydicomFile;

namespace {

TEST(MainWindow, ShowsTheNineButtonsInOrderAndTheAddress) {
    TempDir dir;
    auto window = MakeWindow(dir);
    EXPECT_EQ(window->windowTitle(), "Pellatool");
    EXPECT_EQ(window->size(), QSize(637, 430));
    std::vector<std::string> captions;
    for (QPushButton* button : window->Buttons())
        captions.push_back(button->objectName().toStdString() + " " + button->text().toStdString());
    EXPECT_EQ(captions, (std::vector<std::string>{"Button3 Echo", "Button4 Store", "Button5 Find",
                                                  "Button9 WL Find", "Button8 Print", "Button7 Dump",
                                                  "Button2 Setup", "Button6 About", "Button1 End"}));
    for (std::size_t i = 1; i < window->Buttons().size(); ++i)
        EXPECT_LT(window->Buttons()[i - 1]->y(), window->Buttons()[i]->y()) << "buttons not top to bottom";
    auto* label = window->findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), kProjectAddress);
    EXPECT_EQ(AboutText(), std::string("Pellatool1.0\n\r") + kProjectAddress + PELLA_VERSION);
    EXPECT_GT(window->Memo()->x(), window->Buttons()[0]->x()) << "the memo is not on the right";
    // Resizable, the memo growing with the window and wrapping its lines.
    EXPECT_EQ(window->Memo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    int memoWidth = window->Memo()->width();
    window->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(1000, 700));
    EXPECT_GT(window->Memo()->width(), memoWidth + 300);
    EXPECT_FALSE(window->BusyIndicator()->isVisible());
}

TEST(MainWindow, DumpShowsBothListsOrFails) {
    TempDir dir;
    auto window = MakeWindow(dir, PydicomFile("CT_small.dcm"));
    QTest::mouseClick(window->Button("Button7"), Qt::LeftButton);
    std::vector<std::string> memo = MemoLines(*window);
    ASSERT_GT(memo.size(), 10u);
    EXPECT_EQ(memo[0], "Dump OK!");
    auto has = [&](const std::string& text) {
        return std::any_of(memo.begin(), memo.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("(0002, 0010)")) << "no meta elements";
    EXPECT_TRUE(has("CompressedSamples^CT1")) << "no patient name from the data set";
    EXPECT_TRUE(has("(7FE0, 0010)")) << "no pixel data line";

    std::string notDicom = dir.Write("not.dcm", std::vector<uint8_t>(300, 'x'));
    window->SetFileChooser(std::make_unique<ScriptedChooser>(notDicom));
    QTest::mouseClick(window->Button("Button7"), Qt::LeftButton);
    EXPECT_EQ(MemoLines(*window), std::vector<std::string>{"Dump Failed!"});

    window->SetFileChooser(std::make_unique<ScriptedChooser>(std::nullopt));
    QTest::mouseClick(window->Button("Button7"), Qt::LeftButton);
    EXPECT_TRUE(MemoLines(*window).empty());
}

// A peer that takes the connection and answers nothing keeps the echo running until the test
// lets it go: the window must not close under the run.
TEST(MainWindow, ClosingWaitsForRunningTests) {
    TempDir dir;
    testing_support::LoopbackListener silent;
    TestSettings settings;
    settings.remotePort = std::to_string(silent.Port());
    ASSERT_EQ(SaveSettings(dir.File(kSettingsFileName), settings), "");
    auto window = MakeWindow(dir);
    QTest::mouseClick(window->Button("Button3"), Qt::LeftButton);
    int connection = silent.Accept(20000);
    ASSERT_GE(connection, 0);
    EXPECT_TRUE(window->BusyIndicator()->isVisible()) << "no busy indicator while the echo runs";
    QTest::mouseClick(window->Button("Button1"), Qt::LeftButton);  // End
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible()) << "closed while the echo was running";
    EXPECT_EQ(window->RunningTests(), 1);
    QTest::mouseClick(window->Button("Button3"), Qt::LeftButton);  // no new run once closing
    EXPECT_EQ(window->RunningTests(), 1);
    ::close(connection);  // the echo fails now
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window->isVisible(); }, 60)) << "never closed";
    EXPECT_EQ(window->RunningTests(), 0);
    std::vector<std::string> memo = MemoLines(*window);
    ASSERT_GE(memo.size(), 2u);
    EXPECT_EQ(memo.back(), "ECHO Failed!");
    EXPECT_EQ(memo[memo.size() - 2].rfind("Reason: ", 0), 0u) << memo[memo.size() - 2];
    EXPECT_TRUE(window->BusyIndicator()->isHidden()) << "the busy indicator stayed after the run";
}

// Runs started together write one log file (same test, same day); every line stays whole.
TEST(MainWindow, RunsSideBySideKeepWholeLogLines) {
    TempDir dir;
    PeerProcess process;
    Peer peer = StartStorePeer(dir, process);
    ASSERT_GT(peer.port, 0);
    TestSettings settings;
    settings.remotePort = std::to_string(peer.port);
    settings.logLevel = 2;  // "PDU Level": message dumps, many lines per run
    ASSERT_EQ(SaveSettings(dir.File(kSettingsFileName), settings), "");
    auto window = MakeWindow(dir);
    const int runs = 6;
    for (int i = 0; i < runs; ++i) QTest::mouseClick(window->Button("Button3"), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return window->RunningTests() == 0; }));
    std::vector<std::string> memo = MemoLines(*window);
    ASSERT_FALSE(memo.empty());
    EXPECT_EQ(memo.back(), "ECHO OK");
    std::string log = ReadText(TodaysLogFileName(StartDirectoryOf(dir), "ECHO"));
    const std::regex whole("\\d\\d:\\d\\d:\\d\\d, .*");
    std::istringstream lines(log);
    int statusLines = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, whole)) << "broken line: " << line;
        if (line.find("\"0\" - Status") != std::string::npos) ++statusLines;
    }
    EXPECT_EQ(statusLines, runs) << "each run's response dump holds one status line\n" << log;
}

}  // namespace
