#include "app/service_run.h"

#include <cstring>

#include "pella.h"

namespace pellatool {

CallingTitle::CallingTitle(const std::string& title) {
    std::memcpy(buffer_, title.data(), std::min(title.size(), sizeof buffer_ - 1));
}

bool RunEchoTest(TestRun& run) {
    const TestSettings& s = run.settings;
    CallingTitle calling(s.localAETitle);
    return EchoSCU(s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(), s.remoteAETitle.c_str()) == 1;
}

namespace {

// A memo line for each file that was not stored, with the reason.
void NoteStoreOutcome(const char* fileName, int32_t status, const char* reason, uint64_t, void* context) {
    if (status == PELLA_STATUS_SUCCESS) return;
    auto* run = static_cast<TestRun*>(context);
    run->memo(std::string("Not stored: ") + fileName + ": " + (reason != nullptr ? reason : ""));
}

}  // namespace

// Every chosen file on one association (more only when their classes need it).
bool RunStoreTest(TestRun& run) {
    if (run.fileNames.empty()) return false;
    const TestSettings& s = run.settings;
    CallingTitle calling(s.localAETitle);
    std::vector<const char*> names;
    for (const std::string& file : run.fileNames) names.push_back(file.c_str());
    return StoreFileList(s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(), s.remoteAETitle.c_str(),
                         names.data(), static_cast<int32_t>(names.size()), PELLA_JPEG_LOSSLESS_SV1, 1,
                         &NoteStoreOutcome, &run) == 1;
}

bool RunServiceTest(const std::string& testName, TestRun& run) {
    if (testName == "ECHO") return RunEchoTest(run);
    if (testName == "STORE") return RunStoreTest(run);
    if (testName == "FIND") return RunFindTest(run);
    if (testName == "WORKLIST") return RunWorklistTest(run);
    if (testName == "PRINT") return RunPrintTest(run);
    return false;
}

}  // namespace pellatool
