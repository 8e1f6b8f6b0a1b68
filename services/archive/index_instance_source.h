// An instance source that reads the archive index of the storage folder (services/index): the
// retrieve's listing comes from the database rows, never from walking the folders.
#pragma once

#include <string>

#include "services/archive/instance_source.h"

namespace pella {

// Opens a connection to the index below `storageFolder` for each listing (a connection serves
// one thread at a time, and each association runs on its own). A listing fails (with `why`)
// when the index cannot be opened or read.
InstanceSource IndexInstanceSource(std::string storageFolder);

}  // namespace pella
