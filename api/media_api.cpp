// Exported functions on DICOM media.
#include "api/boundary.h"
#include "media/dicomdir_reader.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t ReadDCMDIR(const char* fileName, ElementList* list) {
    if (fileName == nullptr || list == nullptr) return 0;
    return Guarded<uint8_t>(0, [&]() -> uint8_t { return ReadDicomDirectory(fileName, *list) ? 1 : 0; });
}

}  // extern "C"
