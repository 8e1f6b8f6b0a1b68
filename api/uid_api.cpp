// The exported UID check.
#include "api/boundary.h"
#include "data/registry/uid.h"
#include "pella.h"

extern "C" {

PELLA_API uint8_t IsValidUID(const char* text) {
    if (text == nullptr) return 0;
    return pella::Guarded<uint8_t>("IsValidUID", 0, [&] { return pella::IsValidUid(text) ? 1 : 0; });
}

}  // extern "C"
