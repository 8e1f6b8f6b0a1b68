// The exported print user.
#include "api/boundary.h"
#include "api/calling_title.h"
#include "pella.h"
#include "services/print/print_user.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t PrintSCU(const char* fileName, const char* host, const char* port, char* callingAETitle,
                           const char* calledAETitle, const FilmSessionParameters* filmSession,
                           const FilmBoxParameters* filmBox) {
    return Guarded<uint8_t>("PrintSCU", 0, [&] {
        return WithCallingTitle(callingAETitle, [&](std::string& calling) {
            return pella::PrintSCU(Text(fileName), Text(host), Text(port), calling, Text(calledAETitle),
                                   filmSession, filmBox);
        });
    });
}

}  // extern "C"
