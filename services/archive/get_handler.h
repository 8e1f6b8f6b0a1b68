// The C-GET provider: sends the selected instances back on the requesting association, on the
// storage contexts for which the requestor took the provider's role.
#pragma once

#include "net/dimse/dimse_messages.h"
#include "services/archive/archive_setup.h"

namespace pella {

// Answers one C-GET-RQ (identifier still to be read). An instance whose class has no accepted
// context with the requestor as its provider fails as a sub-operation.
bool ServeGet(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request);

}  // namespace pella
