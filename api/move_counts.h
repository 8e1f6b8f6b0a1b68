// The four sub-operation counts of a retrieve as the exported calls hand them to the host.
#pragma once

#include <cstdint>

#include "services/query/move.h"

namespace pella {

// Copies `read` into the host's counts[4] (remaining, completed, failed, warning); nothing when
// the host passed no array.
inline void WriteMoveCounts(const MoveCounts& read, int32_t* counts) {
    if (counts == nullptr) return;
    counts[0] = read.remaining;
    counts[1] = read.completed;
    counts[2] = read.failed;
    counts[3] = read.warning;
}

}  // namespace pella
