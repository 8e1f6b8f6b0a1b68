// The archive's C-FIND: Patient Root and Study Root at every level, answered from the archive
// index. Each match goes out as a pending response as soon as its row is read; a C-CANCEL
// received meanwhile ends the answer with Cancel.
#pragma once

#include "services/storage/request_handlers.h"
#include "services/storage/store_server.h"

namespace pella {

// Registers the C-FIND handler of both root models for one association; it opens its own
// connection to the index of config.storageFolder on first use (config outlives the handlers).
void AddFindHandlers(RequestHandlers& handlers, const StoreServerConfig& config);

}  // namespace pella
