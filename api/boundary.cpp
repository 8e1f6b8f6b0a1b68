#include "api/boundary.h"

#include <stdexcept>
#include <string>

#include "log/protocol_log.h"

namespace pella {

void EnterExportedCall() noexcept {
    ClearLastFailure();
}

void NoteCaughtException(const char* function, const char* what) noexcept {
    try {
        LogFailure(std::string(function) + ": " + (what != nullptr && what[0] ? what : "failed"));
    } catch (...) {
        NoteFailure("out of memory");  // short enough to need no allocation
    }
}

void ThrowMissingArgument() {
    throw std::invalid_argument("a required argument is NULL");
}

}  // namespace pella
