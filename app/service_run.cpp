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

bool RunStoreTest(TestRun& run) {
    if (run.fileName.empty()) return false;
    const TestSettings& s = run.settings;
    CallingTitle calling(s.localAETitle);
    return StoreSCU(s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(), s.remoteAETitle.c_str(),
                    run.fileName.c_str(), PELLA_JPEG_LOSSLESS_SV1, 1) == 1;
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
