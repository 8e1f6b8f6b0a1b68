// The services the archive adds to the storage server, registered in one place: the query (and
// retrieve) classes with their transfer syntaxes and their handlers.
#pragma once

#include <memory>

#include "net/acse/negotiation.h"
#include "services/archive/archive_setup.h"
#include "services/storage/request_handlers.h"
#include "services/storage/server_extension.h"

namespace pella {

// The extension a storage server is given to serve as an archive.
std::shared_ptr<const ServerExtension> ArchiveServices();

// Registers C-MOVE and C-GET of the Patient Root and Study Root models and the storage
// commitment N-ACTION, accepts their contexts (native syntaxes), and takes the user's role for
// the storage classes a C-GET requestor asks to provide. `setup` must outlive the handlers.
void AddArchiveServices(const ArchiveSetup& setup, RequestHandlers& handlers, ServingPolicy& serving);

}  // namespace pella
