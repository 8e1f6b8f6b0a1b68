// The main window "Pellatool": one button per test, the memo the tests write into, the header
// dump, the settings dialog and the about message.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/file_chooser.h"
#include "app/test_settings.h"

class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace pellatool {

class MainThread;
class TForm2;

// The address shown on the window and in the about message.
inline constexpr const char* kProjectAddress = "https://pella.example.org";

// "Pellatool1.0", a line feed and a carriage return, the address and the library's version text.
std::string AboutText();

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // `startDirectory` ends in "/": it holds the settings file and the runs' log files.
    TForm1(std::string startDirectory, std::unique_ptr<FileChooser> chooser, QWidget* parent = nullptr);
    ~TForm1() override;

    const std::string& StartDirectory() const { return startDirectory_; }
    const TestSettings& Settings() const { return settings_; }
    void SetFileChooser(std::unique_ptr<FileChooser> chooser) { chooser_ = std::move(chooser); }

    // Test runs still going.
    int RunningTests() const { return static_cast<int>(running_.size()); }

    QPlainTextEdit* Memo() const { return logMemo_; }
    // Shown, moving, while a run is going.
    QProgressBar* BusyIndicator() const { return busyBar_; }
    TForm2* SettingsDialog() const { return settingsDialog_; }
    // The nine buttons, top to bottom.
    std::vector<QPushButton*> Buttons() const;
    // The button of that object name ("Button3" is Echo: the names the window has always had).
    QPushButton* Button(const char* objectName) const;

    // Starts a run of the test of that name on its own thread; STORE asks for one or more files
    // first, PRINT for one.
    void StartTest(const std::string& testName);

protected:
    // Closing waits for running tests: the close is put off until the last one has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void LayOut();
    QPushButton* AddButton(const char* objectName, const char* caption, std::function<void()> action);
    void AppendMemo(const QString& line);
    void TestEnded(MainThread* thread);
    void Dump();
    void Setup();
    void SettingsChosen();
    void About();

    std::string startDirectory_;
    std::unique_ptr<FileChooser> chooser_;
    TestSettings settings_;
    QPushButton* echoButton_;
    QPushButton* storeButton_;
    QPushButton* findButton_;
    QPushButton* worklistButton_;
    QPushButton* printButton_;
    QPushButton* dumpButton_;
    QPushButton* setupButton_;
    QPushButton* aboutButton_;
    QPushButton* endButton_;
    QLabel* addressLabel_;
    QPlainTextEdit* logMemo_;
    QProgressBar* busyBar_;
    TForm2* settingsDialog_;
    std::vector<MainThread*> running_;
    bool closeWanted_ = false;
};

}  // namespace pellatool
