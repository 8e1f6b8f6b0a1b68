// The part C-MOVE and C-GET share on the requesting association: the identifier read into the
// list of instances to send, the sub-operations counted, a pending response after each, a
// C-CANCEL honoured between them, and the final response with the failed SOP Instance UIDs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/dimse/dimse_messages.h"
#include "services/archive/instance_source.h"

namespace pella {

// Failure statuses of a retrieve.
constexpr uint16_t kRetrieveOutOfResources = 0xA701;       // the matches could not be listed
constexpr uint16_t kRetrieveSubOperationsFailed = 0xA702;  // every sub-operation failed
constexpr uint16_t kRetrieveDestinationUnknown = 0xA801;
constexpr uint16_t kRetrieveIdentifierMismatch = 0xA900;
constexpr uint16_t kRetrieveWarning = 0xB000;  // some sub-operations failed or warned
constexpr uint16_t kRetrieveCancelled = 0xFE00;

// Instances one retrieve may select; more are refused with kRetrieveOutOfResources.
constexpr std::size_t kMaxRetrieveInstances = 500000;

struct RetrieveCounts {
    uint32_t remaining = 0, completed = 0, failed = 0, warning = 0;  // sent capped at 65535
};

// The final status for the counts: cancelled, success, kRetrieveWarning when some failed or warned,
// kRetrieveSubOperationsFailed when every one failed.
uint16_t FinalRetrieveStatus(const RetrieveCounts& counts, bool cancelled);

// Reads the request's identifier and lists the instances it selects into `instances`. False with
// the failure status to answer (`status`) and `why`: kRetrieveIdentifierMismatch for an identifier that
// is missing or names no valid keys, kRetrieveOutOfResources when the listing failed or selects more
// than kMaxRetrieveInstances. `identifierRead` tells whether the data set was read off the
// association (false: the association cannot go on).
bool ListRetrieveInstances(PDU& pdu, const ReceivedCommand& request, const InstanceSource& source,
                           std::vector<StoredInstance>& instances, uint16_t& status, std::string& why,
                           bool& identifierRead);

// Answers the request with a status alone (a refusal before any sub-operation).
bool SendRetrieveRefusal(PDU& pdu, const ReceivedCommand& request, uint16_t status, const std::string& why);

// What became of one sub-operation: its C-STORE status, or -1 when it was not sent.
using SendInstance = std::function<int32_t(const StoredInstance& instance)>;

// Runs the sub-operations one after the other with `send`, answering the request with a pending
// response after each and the final response after the last. Between sub-operations a C-CANCEL
// of the request ends the run (final status cancelled, the rest counted remaining); another
// message ends the association. False when the association cannot go on.
bool RunRetrieve(PDU& pdu, const ReceivedCommand& request, const std::vector<StoredInstance>& instances,
                 const SendInstance& send);

}  // namespace pella
