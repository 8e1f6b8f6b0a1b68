// The SOP classes this system knows: UID, name, whether objects of the class are stored with
// C-STORE, whether they hold image pixel data, and whether the storage server accepts them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pella.h"

namespace pella {

constexpr const char* kVerificationSopClass = PELLA_VERIFICATION_SOP_CLASS;

struct SopClassInfo {
    const char* uid;
    const char* name;
    bool storage;      // a storage SOP class (objects travel with C-STORE)
    bool pixelData;    // objects hold image pixel data (false: waveforms, SR, RT, PDF, ...)
    bool served;       // the storage server accepts presentation contexts for it
};

const std::vector<SopClassInfo>& SopClasses();

// The entry for a UID (exact, case-sensitive); null when unknown.
const SopClassInfo* FindSopClass(std::string_view uid);

// A storage SOP class without image pixel data: never offered in a syntax meant for images.
bool IsNonImageSopClass(std::string_view uid);

// Verification or a storage class of the server's table.
bool IsServedSopClass(std::string_view uid);

// The name of a known class, or the UID itself.
std::string SopClassName(std::string_view uid);

}  // namespace pella
