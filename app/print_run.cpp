// The PRINT test: one image on one film, with the print options of the settings.
#include "app/option_lists.h"
#include "app/service_run.h"
#include "pella.h"

namespace pellatool {

bool RunPrintTest(TestRun& run) {
    if (run.fileNames.empty()) return false;
    const TestSettings& s = run.settings;
    FilmSessionParameters session{"1", "MED", "BLUE FILM",
                                  EntryAt(FilmDestinations(), s.filmDestination).c_str()};
    FilmBoxParameters box{"STANDARD\\1,1",
                          EntryAt(FilmOrientations(), s.filmOrientation).c_str(),
                          EntryAt(FilmSizes(), s.filmSize).c_str(),
                          EntryAt(MagnificationTypes(), s.magnificationType).c_str(),
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr};
    CallingTitle calling(s.localAETitle);
    return PrintSCU(run.fileNames.front().c_str(), s.remoteHost.c_str(), s.remotePort.c_str(), calling.data(),
                    s.remoteAETitle.c_str(), &session, &box) == 1;
}

}  // namespace pellatool
