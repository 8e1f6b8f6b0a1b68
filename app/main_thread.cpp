#include "app/main_thread.h"

#include <utility>

#include "app/log_file_name.h"
#include "app/option_lists.h"
#include "app/service_run.h"
#include "pella.h"

namespace pellatool {

MainThread::MainThread(std::string testName, TestSettings settings, std::string startDirectory,
                       std::vector<std::string> fileNames, QObject* parent)
    : QThread(parent),
      testName_(std::move(testName)),
      settings_(std::move(settings)),
      startDirectory_(std::move(startDirectory)),
      fileNames_(std::move(fileNames)) {}

void MainThread::run() {
    SetLOG(TodaysLogFileName(startDirectory_, testName_).c_str(), ValidLogLevel(settings_.logLevel));
    emit MemoCleared();
    TestRun run{settings_,
                fileNames_,
                [this](const std::string& line) { emit MemoLine(QString::fromLocal8Bit(line.c_str())); },
                {}};
    result_ = RunServiceTest(testName_, run);
    if (!result_) {
        // The reason the run noted, else the one the library gave for the last call (read on
        // the thread that made it).
        std::vector<char> reason(1024);
        LastFailureText(reason.data(), static_cast<int32_t>(reason.size()));
        std::string why = run.failure.empty() ? reason.data() : run.failure;
        if (!why.empty()) run.memo("Reason: " + why);
    }
    emit MemoLine(QString::fromStdString(testName_ + (result_ ? " OK" : " Failed!")));
}

}  // namespace pellatool
