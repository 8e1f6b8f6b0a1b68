// Making a storage folder's archive index ready before a server listens: opened (made when
// missing) and rebuilt from the files when it is new (a folder written by an older version)
// or when asked to.
#pragma once

#include <string>
#include <vector>

namespace pella {

// Opens the archive index of `storageFolder`, rebuilding it from the files when it did not
// exist or `rebuild` is set, with progress lines on standard error. False with `reason` when it
// cannot be opened or rebuilt. The `recoveredFiles` (full paths below the storage folder) that an
// interrupted run filed are recorded again.
bool PrepareArchiveIndex(const std::string& storageFolder, bool rebuild,
                         const std::vector<std::string>& recoveredFiles, std::string& reason);

}  // namespace pella
