// The archive's C-FIND: Patient Root and Study Root at every level, answered from the archive
// index. Each match goes out as a pending response as soon as its row is read; a C-CANCEL
// received meanwhile ends the answer with Cancel.
#pragma once

#include "services/archive/archive_setup.h"
#include "services/storage/request_handlers.h"

namespace pella {

// The C-FIND handler of one association, for both root models: it opens its own connection to
// the index of setup.storageFolder on first use (setup outlives the handler).
RequestHandler FindHandler(const ArchiveSetup& setup);

}  // namespace pella
