// Placeholder for the exported print function until the print user is merged: every call fails
// with a reason that says so, so that callers link and report the failure like any other.
#include "api/boundary.h"
#include "log/protocol_log.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t PrintSCU(const char*, const char*, const char*, char*, const char*,
                           const FilmSessionParameters*, const FilmBoxParameters*) {
    return Guarded<uint8_t>("PrintSCU", 0, []() -> uint8_t {
        LogFailure("print is not built yet");
        return 0;
    });
}

}  // extern "C"
