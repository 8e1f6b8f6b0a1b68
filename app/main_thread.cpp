#include "app/main_thread.h"

#include <utility>

#include "app/log_file_name.h"
#include "app/option_lists.h"
#include "app/service_run.h"
#include "pella.h"

namespace pellatool {

MainThread::MainThread(std::string testName, TestSettings settings, std::string startDirectory,
                       std::string fileName, QObject* parent)
    : QThread(parent),
      testName_(std::move(testName)),
      settings_(std::move(settings)),
      startDirectory_(std::move(startDirectory)),
      fileName_(std::move(fileName)) {}

void MainThread::run() {
    SetLOG(TodaysLogFileName(startDirectory_, testName_).c_str(), ValidLogLevel(settings_.logLevel));
    emit MemoCleared();
    TestRun run{settings_, fileName_,
                [this](const std::string& line) { emit MemoLine(QString::fromLocal8Bit(line.c_str())); }};
    result_ = RunServiceTest(testName_, run);
    emit MemoLine(QString::fromStdString(testName_ + (result_ ? " OK" : " Failed!")));
}

}  // namespace pellatool
