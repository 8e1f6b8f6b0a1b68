// The data sets of storage commitment: the request an N-ACTION carries (a transaction and the
// instances to commit) and the report the N-EVENT-REPORT gives back (those committed, those not
// with their reason).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

constexpr const char* kStorageCommitmentClass = "1.2.840.10008.1.20.1";
constexpr const char* kStorageCommitmentInstance = "1.2.840.10008.1.20.1.1";  // the well-known instance
constexpr uint16_t kCommitmentRequestAction = 1;
constexpr uint16_t kCommitmentAllDone = 1;     // event: every instance committed
constexpr uint16_t kCommitmentSomeFailed = 2;  // event: some instance not committed
constexpr uint16_t kFailureNoSuchInstance = 0x0112;
constexpr uint16_t kFailureClassConflict = 0x0119;
constexpr uint16_t kFailureProcessing = 0x0110;

// Instances one request may name; a larger request is refused.
constexpr std::size_t kMaxCommitmentReferences = 100000;

struct CommitmentReference {
    std::string sopClass;
    std::string sopInstance;
    uint16_t failureReason = 0;  // in a report: 0 committed
};

struct CommitmentRequest {
    std::string transactionUid;
    std::vector<CommitmentReference> references;
};

// Reads the Transaction UID and the Referenced SOP Sequence's items from a data set in flat
// form (FlattenDataSet), top-level elements only. False (with `why`) without a valid
// Transaction UID, without references, with an item lacking either UID, or with more than
// kMaxCommitmentReferences items.
bool ReadCommitmentRequest(const ElementList& flat, CommitmentRequest& request, std::string& why);

// The event report's data set: the Transaction UID, the Referenced SOP Sequence of those
// committed and the Failed SOP Sequence (with each Failure Reason) of the others; a sequence
// without items is left out.
ElementList CommitmentReport(const CommitmentRequest& checked);

// The event type of a report: kCommitmentAllDone or kCommitmentSomeFailed.
uint16_t CommitmentEventType(const CommitmentRequest& checked);

}  // namespace pella
