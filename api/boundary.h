// Helpers for the exported C functions: no exception may cross the library boundary.
#pragma once

#include <exception>
#include <utility>

namespace pella {

// Runs `body` and returns its result; any exception becomes `failure`.
template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

// For functions without a result.
template <typename Body>
void GuardedVoid(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace pella
