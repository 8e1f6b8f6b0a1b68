#include "services/archive/get_user.h"

#include "data/registry/dimse_statuses.h"
#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/pdu/pdu_limits.h"
#include "services/query/query_messages.h"
#include "services/storage/filing.h"
#include "services/storage/store_handler.h"

namespace pella {

namespace {

constexpr int32_t kNoResponse = -1;

int32_t CountOf(const std::optional<uint16_t>& value) {
    return value ? int32_t(*value) : -1;
}

// Prepares the folder and the C-STORE handler that files into it.
bool PrepareReceiving(const StoreServerConfig& config, RequestHandlers& handlers) {
    std::string reason;
    if (!PrepareStorageFolder(config.storageFolder, reason)) {
        LogFailure("C-GET: the folder " + config.storageFolder + " cannot be used: " + reason);
        return false;
    }
    AddStoreHandler(handlers, config);
    return true;
}

bool OpenGetAssociation(PDU& pdu, GetTarget& target) {
    std::vector<ProposedContext> contexts = {
        {target.sopClass, {kExplicitLittleEndian, kImplicitLittleEndian}}};
    std::vector<ProposedContext> storage = GetStorageContexts();
    contexts.insert(contexts.end(), storage.begin(), storage.end());
    if (!BuildRequest(pdu, target.calling, target.called, contexts)) return false;
    for (const ProposedContext& context : storage)
        pdu.request.userInformation.roles.push_back({context.abstractSyntax, 0, 1});
    return RequestAssociation(pdu, target.host, target.port);
}

// Reads messages until the final C-GET-RSP, filing each object that comes before it.
int32_t ReceiveUntilFinal(PDU& pdu, const RequestHandlers& handlers, uint16_t messageID, MoveCounts& counts) {
    while (true) {
        ReceivedCommand received;
        if (!ReadCommand(pdu, received)) return kNoResponse;
        const DimseCommand& command = received.command;
        if (command.commandField == kCStoreRQ) {
            const RequestHandler* handler = handlers.Find(command);
            if (handler && (*handler)(pdu, received)) continue;
            LogFailure("C-GET: an object could not be received: association aborted");
            if (pdu.IsConnected()) AbortAssociation(pdu);
            return kNoResponse;
        }
        if (command.commandField != kCGetRSP || command.respondedTo != messageID || !command.status) {
            LogFailure("C-GET: a message that is no response to the request: association aborted");
            AbortAssociation(pdu);
            return kNoResponse;
        }
        if (command.HasDataSet()) {
            ElementList ignored;  // the failed SOP Instance UID list; the counts say enough
            if (!ReadDataSet(pdu, ignored)) return kNoResponse;
        }
        counts = MoveCounts{CountOf(command.remaining), CountOf(command.completed), CountOf(command.failed),
                            CountOf(command.warning)};
        if (*command.status != kStatusPending) return *command.status;
    }
}

}  // namespace

std::vector<ProposedContext> GetStorageContexts() {
    const std::vector<std::string> syntaxes = {kExplicitLittleEndian, kImplicitLittleEndian};
    std::vector<ProposedContext> contexts;
    for (bool original : {true, false})
        for (const SopClassInfo& info : SopClasses()) {
            if (!info.storage || info.retired || info.original != original) continue;
            if (contexts.size() + 1 >= kMaxPresentationContexts) return contexts;
            contexts.push_back({info.uid, syntaxes});
        }
    return contexts;
}

int32_t GetObjects(GetTarget& target, const ElementList& identifier, MoveCounts& counts) {
    StoreServerConfig config;
    config.storageFolder = target.outDir;
    config.databaseRoot = target.outDir;
    RequestHandlers handlers;
    if (!PrepareReceiving(config, handlers)) return kNoResponse;
    PDU pdu;
    if (!OpenGetAssociation(pdu, target)) return kNoResponse;
    // Objects go straight into their files; responses carry small identifiers only.
    pdu.data.dataSetLimit = kMaxReceivedCommand;
    int32_t status = kNoResponse;
    if (SendQueryRequest(pdu, target.sopClass, kCGetRQ, "", identifier)) {
        status = ReceiveUntilFinal(pdu, handlers, pdu.lastMessageID, counts);
        if (status != kNoResponse && status != kStatusSuccess) {
            char text[64];
            std::snprintf(text, sizeof text, "C-GET ended with status 0x%04X", unsigned(status));
            LogFailure(text);
        }
    }
    ReleaseAssociation(pdu);
    return status;
}

}  // namespace pella
