// One test run on its own thread: sets the run's protocol log, clears the memo, runs the test and
// writes "<NAME> OK" or, after a line with the reason when the library gave one, "<NAME> Failed!". Memo
// changes leave the thread as signals, which the window receives queued on its own thread; the thread never
// touches a widget.
#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <string>
#include <vector>

#include "app/test_settings.h"

namespace pellatool {

class MainThread : public QThread {
    Q_OBJECT

public:
    // `fileNames` are the files chosen for STORE and PRINT (empty: the choice was cancelled).
    MainThread(std::string testName, TestSettings settings, std::string startDirectory,
               std::vector<std::string> fileNames, QObject* parent = nullptr);

    const std::string& TestName() const { return testName_; }
    bool Result() const { return result_; }

signals:
    void MemoCleared();
    void MemoLine(const QString& line);

protected:
    void run() override;

private:
    std::string testName_;
    TestSettings settings_;
    std::string startDirectory_;
    std::vector<std::string> fileNames_;
    std::atomic<bool> result_{false};
};

}  // namespace pellatool
