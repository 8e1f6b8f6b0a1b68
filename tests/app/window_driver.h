// Drives the main window as a user would, headless: a start directory of its own, a file chooser
// that answers for the user, button clicks, and waiting for the runs to end.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/file_chooser.h"
#include "app/main_window.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace pellatool_testing {

using testing_support::TempDir;

// Answers every file question with one path (or several, where several may be chosen), or
// cancels when it has none; counts the questions.
class ScriptedChooser : public pellatool::FileChooser {
public:
    explicit ScriptedChooser(std::optional<std::string> answer, int* asked = nullptr)
        : answer_(std::move(answer)), asked_(asked) {}
    explicit ScriptedChooser(std::vector<std::string> answers)
        : answers_(std::move(answers)), asked_(nullptr) {}
    std::optional<std::string> ChooseFile(QWidget*) override {
        if (asked_ != nullptr) ++*asked_;
        return answers_.empty() ? answer_ : answers_.front();
    }
    std::vector<std::string> ChooseFiles(QWidget* parent) override {
        if (answers_.empty()) return FileChooser::ChooseFiles(parent);
        if (asked_ != nullptr) ++*asked_;
        return answers_;
    }

private:
    std::optional<std::string> answer_;
    std::vector<std::string> answers_;
    int* asked_;
};

// Lets the window's thread handle events until `done` holds, at most `seconds`.
template <typename Condition>
bool ProcessEventsUntil(Condition done, double seconds = 120) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QApplication::processEvents();
    return true;
}

inline std::string StartDirectoryOf(const testing_support::TempDir& dir) {
    return dir.Path().string() + "/";
}

inline std::unique_ptr<pellatool::TForm1> MakeWindow(const testing_support::TempDir& dir,
                                                     std::optional<std::string> chosenFile = std::nullopt) {
    auto window = std::make_unique<pellatool::TForm1>(
        StartDirectoryOf(dir), std::make_unique<ScriptedChooser>(std::move(chosenFile)));
    window->show();
    return window;
}

// Clicks the button and waits until every run the window started has ended.
inline void ClickAndWait(pellatool::TForm1& window, const char* button) {
    QPushButton* target = window.Button(button);
    ASSERT_NE(target, nullptr) << button;
    QTest::mouseClick(target, Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.RunningTests() == 0; })) << "the run did not end";
}

inline std::vector<std::string> MemoLines(const pellatool::TForm1& window) {
    std::vector<std::string> lines;
    std::istringstream text(window.Memo()->toPlainText().toStdString());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

using testing_support::ReadText;

}  // namespace pellatool_testing
