#include "services/archive/find_handler.h"

#include <memory>

#include "data/registry/dimse_statuses.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"
#include "services/archive/find_identifier.h"
#include "services/index/archive_index.h"

namespace pella {

namespace {

constexpr uint16_t kStatusCancel = 0xFE00;
constexpr uint16_t kStatusIdentifierDoesNotMatchClass = 0xA900;
constexpr uint16_t kStatusUnableToProcess = 0xC001;
constexpr uint16_t kStatusIndexUnavailable = 0xA700;  // out of resources

// The association's connection to the index, opened on its first query.
struct IndexConnection {
    std::unique_ptr<ArchiveIndex> index;

    ArchiveIndex* Get(const std::string& storageFolder) {
        if (index) return index.get();
        std::string reason;
        index = OpenArchiveIndex(storageFolder, reason);
        if (!index) LogFailure("The archive index cannot be opened: " + reason);
        return index.get();
    }
};

// What came in while matches were sent: nothing, a C-CANCEL of this request, or something the
// association cannot go on with.
enum class Interruption { None, Cancelled, Broken };

// Looks, without waiting, whether the peer sent a C-CANCEL-RQ for the request.
Interruption CheckForCancel(PDU& pdu, const ReceivedCommand& request) {
    if (pdu.buffer.InputAvailable() == 0 && !pdu.buffer.Transport().InputWaiting()) return Interruption::None;
    ReceivedCommand received;
    if (!ReadCommand(pdu, received)) return Interruption::Broken;
    if (received.command.commandField == kCCancelRQ &&
        received.command.respondedTo == request.command.messageID)
        return Interruption::Cancelled;
    LogFailure("A request arrived while a C-FIND was being answered");
    return Interruption::Broken;
}

bool SendFinal(PDU& pdu, const ReceivedCommand& request, uint16_t status) {
    return SendResponse(pdu, MakeResponse(request, status));
}

bool ServeFind(const ArchiveSetup& setup, IndexConnection& connection, PDU& pdu,
               const ReceivedCommand& request) {
    if (!request.command.HasDataSet()) {
        LogFailure("A C-FIND-RQ without an identifier");
        return false;
    }
    ElementList identifier;
    if (!ReadDataSet(pdu, identifier)) return false;
    IndexQuery query;
    std::string why;
    const SopClassInfo* info = FindSopClass(RequestSopClass(request.command));
    std::string syntax;
    FindAcceptedSyntax(pdu, request.contextID, syntax);
    if (!info || !ReadFindIdentifier(identifier, info->queryModel, syntax, query, why)) {
        LogFailure("C-FIND refused: " + why);
        return SendFinal(pdu, request, kStatusIdentifierDoesNotMatchClass);
    }
    ArchiveIndex* index = connection.Get(setup.storageFolder);
    if (!index) return SendFinal(pdu, request, kStatusIndexUnavailable);

    Interruption interruption = Interruption::None;
    bool sent = true;
    IndexScan scan = index->Find(query, [&](const QueryRow& row) {
        ElementList match = MatchIdentifier(query, row, setup.aeTitle);
        sent = SendResponse(pdu, MakeResponse(request, kStatusPending), &match);
        if (sent) interruption = CheckForCancel(pdu, request);
        return sent && interruption == Interruption::None;
    });
    if (!sent || interruption == Interruption::Broken) return false;
    if (interruption == Interruption::Cancelled) return SendFinal(pdu, request, kStatusCancel);
    return SendFinal(pdu, request, scan == IndexScan::Completed ? kStatusSuccess : kStatusUnableToProcess);
}

}  // namespace

RequestHandler FindHandler(const ArchiveSetup& setup) {
    auto connection = std::make_shared<IndexConnection>();
    return [&setup, connection](PDU& pdu, const ReceivedCommand& request) {
        return ServeFind(setup, *connection, pdu, request);
    };
}

}  // namespace pella
