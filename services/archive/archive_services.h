// The services the archive adds to the storage server, registered in one place: the query and
// retrieve classes with their transfer syntaxes and handlers, and storage commitment.
#pragma once

#include <string>

#include "net/acse/negotiation.h"
#include "services/archive/archive_setup.h"
#include "services/storage/request_handlers.h"

namespace pella {

// True for a class the archive serves: C-FIND, C-MOVE and C-GET of the Patient Root and Study
// Root models, and storage commitment.
bool IsArchiveClass(const std::string& abstractSyntax);

// Registers C-FIND, C-MOVE and C-GET of the Patient Root and Study Root models and the storage
// commitment N-ACTION, accepts their contexts (native syntaxes), and takes the user's role for
// the storage classes a C-GET requestor asks to provide. `setup` must outlive the handlers.
void AddArchiveServices(const ArchiveSetup& setup, RequestHandlers& handlers, ServingPolicy& serving);

}  // namespace pella
