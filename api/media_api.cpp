// Exported functions on DICOM media.
#include "api/boundary.h"
#include "api/live_handles.h"
#include "media/dicomdir_reader.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t ReadDCMDIR(const char* fileName, ElementList* list) {
    return Guarded<uint8_t>("ReadDCMDIR", 0, [&]() -> uint8_t {
        RequireArguments(fileName, list);
        RequireLive(HandleKind::ElementList, list);
        return ReadDicomDirectory(fileName, *list) ? 1 : 0;
    });
}

}  // extern "C"
