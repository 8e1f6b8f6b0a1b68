// Rebuilding the archive index from the files of a storage folder: every
// <study>/<series>/<name>.dcm below it is read up to its pixel data and recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "services/index/archive_index.h"

namespace pella {

struct ReindexCounts {
    uint64_t recorded = 0;  // files recorded in the index
    uint64_t skipped = 0;   // files that could not be read as DICOM objects
};

// Called now and then with the counts so far (progress), and once at the end.
using ReindexProgress = std::function<void(const ReindexCounts& counts, bool finished)>;

// Empties `index` and records every stored object of `storageFolder` in it, in batches of one
// transaction each. Files outside the <study>/<series> layout, links and the incoming folder are
// not looked at. False (logged) when the index could not be written.
bool RebuildIndex(ArchiveIndex& index, const std::string& storageFolder, ReindexCounts& counts,
                  const ReindexProgress& progress = {});

// Records the object file `file` (below `storageFolder`, <study>/<series>/<name>) in `index`,
// renewing its rows; false (logged) when it cannot be read or recorded.
bool RecordFile(ArchiveIndex& index, const std::string& storageFolder, const std::string& file);

}  // namespace pella
