// Replacing a file without ever losing it: write a temporary file beside it, rename it over.
#pragma once

#include <functional>
#include <string>

namespace pella {

// Calls `write` with the name of a new temporary file in the folder of `fileName`. When `write`
// succeeds, the temporary file takes the permissions of the existing file (if there is one)
// and is renamed over `fileName`; otherwise it is removed and `fileName` is left untouched.
bool ReplaceFileSafely(const std::string& fileName,
                       const std::function<bool(const std::string& tempName)>& write);

}  // namespace pella
