// The storage commitment provider: answers the N-ACTION, checks each named instance (on disk and
// listed by the instance source, with the class named), and reports with an N-EVENT-REPORT on
// the same association, or, when the requestor has released it, on a new association to the
// requestor as the peers file names it.
#pragma once

#include "net/dimse/dimse_messages.h"
#include "services/archive/archive_setup.h"
#include "services/archive/commitment_request.h"

namespace pella {

// Marks each reference of the request: committed (0), kFailureNoSuchInstance, or
// kFailureClassConflict when the stored instance has another class.
void CheckCommitment(const ArchiveSetup& setup, CommitmentRequest& request);

// Answers one N-ACTION-RQ of the storage commitment class (data set still to be read).
bool ServeCommitment(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request);

}  // namespace pella
