// The archive's services on the storage server's associations: the one place where they are
// registered with the server's request handlers and serving policy.
#pragma once

#include "net/acse/negotiation.h"
#include "services/archive/archive_setup.h"
#include "services/storage/request_handlers.h"

namespace pella {

// Registers C-MOVE and C-GET of the Patient Root and Study Root models and the storage
// commitment N-ACTION, accepts their contexts (native syntaxes), and takes the user's role for the storage
// classes a C-GET requestor asks to provide. `setup` must outlive the handlers.
void AddArchiveServices(const ArchiveSetup& setup, RequestHandlers& handlers, ServingPolicy& serving);

}  // namespace pella
