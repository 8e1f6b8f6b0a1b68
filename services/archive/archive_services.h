// The services the archive adds to the storage server, registered in one place: the query (and
// retrieve) classes with their transfer syntaxes and their handlers.
#pragma once

#include <memory>

#include "services/storage/server_extension.h"

namespace pella {

// The extension a storage server is given to serve as an archive.
std::shared_ptr<const ServerExtension> ArchiveServices();

}  // namespace pella
