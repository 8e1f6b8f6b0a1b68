// The settings dialog and its file: typed values survive OK and a new window; the file is the
// 436-byte record; over-long texts are cut; short files and stray positions fall back to the
// defaults; a file that cannot be written is reported.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/option_lists.h"
#include "app/settings_dialog.h"
#include "app/test_settings.h"
#include "window_driver.h"

using namespace pellatool;
using namespace pellatool_testing;
namespace fs = std::filesystem;

namespace {

struct Shown {
    std::string local, host, port, remote;
    int logLevel, destination, orientation, size, magnification;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << s.local << "," << s.host << "," << s.port << "," << s.remote << " log " << s.logLevel
               << " print " << s.destination << s.orientation << s.size << s.magnification;
}

Shown ShownBy(const TForm2& d) {
    return {d.LocalAETitleEdit()->text().toStdString(),
            d.RemoteHostEdit()->text().toStdString(),
            d.RemotePortEdit()->text().toStdString(),
            d.RemoteAETitleEdit()->text().toStdString(),
            d.LogLevelBox()->currentIndex(),
            d.FilmDestinationBox()->currentIndex(),
            d.FilmOrientationBox()->currentIndex(),
            d.FilmSizeBox()->currentIndex(),
            d.MagnificationTypeBox()->currentIndex()};
}

const Shown kDefaults{"local", "127.0.0.1", "104", "remote", -1, 0, 0, 0, 0};

void Type(QLineEdit* edit, const std::string& text) {
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

// Opens the dialog from the Setup button; it stays open without blocking.
TForm2* OpenSetup(TForm1& window) {
    QTest::mouseClick(window.Button("Button2"), Qt::LeftButton);
    TForm2* dialog = window.SettingsDialog();
    EXPECT_TRUE(ProcessEventsUntil([&] { return dialog->isVisible(); }, 10));
    return dialog;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::string text = ReadText(path);
    return {text.begin(), text.end()};
}

TEST(Settings, TypedValuesSurviveOkAndANewWindow) {
    TempDir dir;
    Shown typed{"MYSCU", "192.0.2.7", "11112", "THEIRSCP", 0, 2, 1, 3, 2};
    {
        auto window = MakeWindow(dir);
        TForm2* dialog = OpenSetup(*window);
        EXPECT_EQ(ShownBy(*dialog), kDefaults);
        Type(dialog->LocalAETitleEdit(), typed.local);
        Type(dialog->RemoteHostEdit(), typed.host);
        Type(dialog->RemotePortEdit(), typed.port);
        Type(dialog->RemoteAETitleEdit(), typed.remote);
        dialog->LogLevelBox()->setCurrentIndex(typed.logLevel);  // "No Log"
        dialog->FilmDestinationBox()->setCurrentIndex(typed.destination);
        dialog->FilmOrientationBox()->setCurrentIndex(typed.orientation);
        dialog->FilmSizeBox()->setCurrentIndex(typed.size);
        dialog->MagnificationTypeBox()->setCurrentIndex(typed.magnification);
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(window->Settings().remoteHost, typed.host);
    }
    std::vector<uint8_t> bytes = FileBytes(dir.File(kSettingsFileName));
    EXPECT_EQ(bytes.size(), 436u);
    std::optional<TestSettings> stored = DecodeSettings(bytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->logLevel, 1) << "\"No Log\" is stored as 1";
    EXPECT_EQ(stored->filmSize, 3);
    auto restarted = MakeWindow(dir);
    EXPECT_EQ(ShownBy(*OpenSetup(*restarted)), typed);
}

TEST(Settings, CancelKeepsTheSettingsAndWritesNothing) {
    TempDir dir;
    auto window = MakeWindow(dir);
    TForm2* dialog = OpenSetup(*window);
    Type(dialog->RemoteHostEdit(), "192.0.2.99");
    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    EXPECT_EQ(window->Settings().remoteHost, "127.0.0.1");
    EXPECT_FALSE(fs::exists(dir.File(kSettingsFileName)));
    EXPECT_EQ(ShownBy(*OpenSetup(*window)), kDefaults);
}

TEST(Settings, OverLongTextsAreCutToTheirFields) {
    TestSettings settings;
    settings.remoteHost = std::string(300, 'h');
    settings.remotePort = std::string(40, '7');
    settings.localAETitle = std::string(128, 'L');
    settings.remoteAETitle = std::string(1000, 'R');
    settings.magnificationType = 3;
    std::vector<uint8_t> bytes = EncodeSettings(settings);
    ASSERT_EQ(bytes.size(), 436u);
    std::optional<TestSettings> back = DecodeSettings(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->remoteHost, std::string(127, 'h'));
    EXPECT_EQ(back->remotePort, std::string(31, '7'));
    EXPECT_EQ(back->localAETitle, std::string(127, 'L'));
    EXPECT_EQ(back->remoteAETitle, std::string(127, 'R'));
    EXPECT_EQ(back->magnificationType, 3) << "a long text ran into the fields after it";
}

// A settings file missing, shorter than the record, or with fields that fill their whole width
// (no terminating zero) never leaves a field undefined.
TEST(Settings, MissingOrShortFileGivesTheDefaults) {
    TestSettings custom;
    custom.remoteHost = "192.0.2.1";
    custom.logLevel = 3;
    std::vector<uint8_t> whole = EncodeSettings(custom);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{435}}) {
        TempDir dir;
        if (size > 0) dir.Write(kSettingsFileName, std::vector<uint8_t>(whole.begin(), whole.begin() + size));
        auto window = MakeWindow(dir);
        EXPECT_EQ(ShownBy(*OpenSetup(*window)), kDefaults) << size << " bytes";
    }
    std::vector<uint8_t> longer = whole;
    longer.resize(600, 0x11);
    std::optional<TestSettings> read = DecodeSettings(longer);
    ASSERT_TRUE(read) << "only the first 436 bytes count";
    EXPECT_EQ(read->remoteHost, "192.0.2.1");
    std::vector<uint8_t> unterminated = EncodeSettings(TestSettings{});
    for (std::size_t i = 0; i < 416; ++i) unterminated[i] = whole[0];  // every text byte 'host[0]'
    read = DecodeSettings(unterminated);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->remoteHost.size(), 127u);
    EXPECT_EQ(read->remotePort.size(), 31u);
}

TEST(Settings, PositionsOutsideTheirListsFallBackToTheFirstEntry) {
    TempDir dir;
    TestSettings stray;
    stray.logLevel = 9;
    stray.filmDestination = -1;
    stray.filmOrientation = 3;
    stray.filmSize = 1 << 30;
    stray.magnificationType = -7;
    ASSERT_EQ(SaveSettings(dir.File(kSettingsFileName), stray), "");
    auto window = MakeWindow(dir);
    Shown shown = ShownBy(*OpenSetup(*window));
    EXPECT_EQ(shown, (Shown{"local", "127.0.0.1", "104", "remote", -1, 0, 0, 0, 0}));
    // What a print run sends for them.
    EXPECT_EQ(EntryAt(FilmDestinations(), stray.filmDestination), "MAGAZINE");
    EXPECT_EQ(EntryAt(FilmOrientations(), stray.filmOrientation), "PORTRAIT");
    EXPECT_EQ(EntryAt(FilmSizes(), stray.filmSize), "14INX17IN");
    EXPECT_EQ(EntryAt(MagnificationTypes(), stray.magnificationType), "REPLICATE");
    EXPECT_EQ(EntryAt(FilmOrientations(), 2), "");
    EXPECT_EQ(ValidLogLevel(stray.logLevel), 0);
    EXPECT_EQ(ValidLogLevel(-1), 0);
    EXPECT_EQ(ValidLogLevel(3), 3);
}

TEST(Settings, FileThatCannotBeWrittenIsReportedInTheMemo) {
    TempDir dir;
    fs::create_directories(dir.File(kSettingsFileName));  // a folder in the file's place
    auto window = MakeWindow(dir);
    TForm2* dialog = OpenSetup(*window);
    Type(dialog->RemotePortEdit(), "4242");
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    QApplication::processEvents();
    std::vector<std::string> memo = MemoLines(*window);
    ASSERT_EQ(memo.size(), 1u);
    EXPECT_EQ(memo[0].rfind("Settings not saved: " + dir.File(kSettingsFileName), 0), 0u) << memo[0];
    EXPECT_EQ(window->Settings().remotePort, "4242") << "the chosen values still hold for this session";
}

}  // namespace
