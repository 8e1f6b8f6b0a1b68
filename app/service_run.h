// The tests the main window's buttons run on a worker thread: each calls the toolkit's exported
// functions as a host does and writes what it finds into the memo through a line sink.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/test_settings.h"

namespace pellatool {

using MemoSink = std::function<void(const std::string& line)>;

struct TestRun {
    TestSettings settings;               // a copy taken when the test started
    std::vector<std::string> fileNames;  // the files chosen for STORE (one for PRINT); empty: cancelled
    MemoSink memo;
    std::string failure;  // why the run failed, when the run knows better than the last call
};

// A writable copy of the calling AE title, as the exported calls want it (they may fill in a
// default title).
class CallingTitle {
public:
    explicit CallingTitle(const std::string& title);
    char* data() { return buffer_; }

private:
    char buffer_[kTitleFieldWidth + 17] = {};
};

bool RunEchoTest(TestRun& run);
bool RunStoreTest(TestRun& run);
bool RunFindTest(TestRun& run);
bool RunWorklistTest(TestRun& run);
bool RunPrintTest(TestRun& run);

// Runs the test of that name ("ECHO", "STORE", "FIND", "WORKLIST", "PRINT"); false for any other.
bool RunServiceTest(const std::string& testName, TestRun& run);

}  // namespace pellatool
