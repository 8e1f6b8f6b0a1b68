#include "services/query/query_messages.h"

#include <cstdio>

#include "data/registry/dimse_statuses.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/acse/client_limits.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"

namespace pella {

namespace {

// A peer that keeps sending pending responses would keep the caller reading (and, for a caller
// that gathers the matches, allocating) for ever: past the limit the association is aborted.
bool TooManyPending(PDU& pdu, const DimseCommand& command) {
    const int32_t limit = CurrentClientLimits().maxResults;
    if (!command.status || !IsPendingStatus(*command.status) ||
        pdu.responsesToLastRequest <= static_cast<uint32_t>(limit))
        return false;
    LogFailure("More than " + std::to_string(limit) +
               " pending responses to one request: association aborted");
    AbortAssociation(pdu);
    return true;
}

}  // namespace

bool IsValidResponse(const QueryResponse& response, uint16_t expectedField, const char* name) {
    if (response.commandField != expectedField) {
        char text[96];
        std::snprintf(text, sizeof text, "Response is not a %s: command field 0x%04X", name,
                      response.commandField);
        LogFailure(text);
        return false;
    }
    if (!response.status) {
        LogFailure(std::string(name) + " without Status: not taken as a success");
        return false;
    }
    return true;
}

bool SendQueryRequest(PDU& pdu, const std::string& sopClassUid, uint16_t commandField,
                      const std::string& moveDestination, const ElementList& identifier) {
    std::string syntax;
    uint8_t contextID = AcceptedContextFor(pdu, sopClassUid, syntax);
    if (contextID == 0) return false;
    DimseCommand request;
    request.commandField = commandField;
    request.affectedSopClass = sopClassUid;
    request.priority = 0;  // medium
    if (commandField == kCMoveRQ) request.moveDestination = moveDestination;
    return SendRequest(pdu, contextID, request, &identifier);
}

bool ReadQueryResponse(PDU& pdu, QueryResponse& response, ElementList& identifier) {
    ReceivedCommand received;
    if (!ReadResponse(pdu, received)) {
        std::string why = LastFailure();
        LogFailure("No valid response could be read" + (why.empty() ? "" : ": " + why));
        return false;
    }
    const DimseCommand& command = received.command;
    if (TooManyPending(pdu, command)) return false;
    response.commandField = command.commandField;
    response.status = command.status;
    response.remaining = command.remaining;
    response.completed = command.completed;
    response.failed = command.failed;
    response.warning = command.warning;
    if (!command.HasDataSet()) return true;
    if (!ReadDataSet(pdu, identifier)) {
        std::string why = LastFailure();
        LogFailure("The response's data set could not be read" + (why.empty() ? "" : ": " + why));
        return false;
    }
    std::string syntax;
    FindAcceptedSyntax(pdu, received.contextID, syntax);
    response.explicitVR = TransferSyntax(syntax).ExplicitVR();
    return true;
}

}  // namespace pella
