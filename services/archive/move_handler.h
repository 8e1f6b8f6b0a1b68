// The C-MOVE provider: sends the selected instances to a destination known from the peers
// file, over one association to it with a context for each class and syntax needed.
#pragma once

#include "net/dimse/dimse_messages.h"
#include "services/archive/archive_setup.h"

namespace pella {

// Answers one C-MOVE-RQ (identifier still to be read). An unknown destination, or one that is
// never called (port 0), is answered 0xA801.
bool ServeMove(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request);

}  // namespace pella
