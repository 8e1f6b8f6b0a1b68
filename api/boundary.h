// The frame of every exported C function: no exception crosses the library boundary, and the
// calling thread's failure reason (LastFailureText) always belongs to the call just made.
#pragma once

#include <exception>
#include <stdexcept>
#include <utility>

namespace pella {

// Forgets the calling thread's failure reason. Every exported function except LastFailureText
// does this on entry.
void EnterExportedCall() noexcept;

// Keeps "<function>: <what>" as the failure reason of an exception caught at the boundary.
void NoteCaughtException(const char* function, const char* what) noexcept;

// Throws std::invalid_argument("a required argument is NULL") when any pointer is null; at the
// boundary that becomes the failure "<function>: a required argument is NULL".
void ThrowMissingArgument();

template <typename... Pointers>
void RequireArguments(const Pointers&... pointers) {
    if (((pointers == nullptr) || ...)) ThrowMissingArgument();
}

// Enters the call and runs `body`; an exception becomes `failure` with its reason kept.
template <typename Result, typename Body>
Result Guarded(const char* function, Result failure, Body&& body) noexcept {
    EnterExportedCall();
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& error) {
        NoteCaughtException(function, error.what());
    } catch (...) {
        NoteCaughtException(function, "unexpected internal error");
    }
    return failure;
}

// For functions without a result.
template <typename Body>
void GuardedVoid(const char* function, Body&& body) noexcept {
    EnterExportedCall();
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& error) {
        NoteCaughtException(function, error.what());
    } catch (...) {
        NoteCaughtException(function, "unexpected internal error");
    }
}

}  // namespace pella
