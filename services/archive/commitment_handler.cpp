#include "services/archive/commitment_handler.h"

#include <filesystem>
#include <unordered_map>

#include "data/io/sequence_decoding.h"
#include "data/registry/dimse_statuses.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "net/pdu/pdu_limits.h"
#include "services/storage/object_paths.h"

namespace pella {

namespace {

constexpr uint16_t kNoSuchAction = 0x0123;
constexpr uint16_t kInvalidArgument = 0x0115;
constexpr uint16_t kNoSuchInstance = 0x0112;
// The largest request data set read (a reference takes about 70 bytes).
constexpr std::size_t kMaxCommitmentDataSet = 16u * 1024u * 1024u;

// Reads the N-ACTION's data set into the flat form, with a limit fit for many references.
bool ReadActionDataSet(PDU& pdu, const ReceivedCommand& request, ElementList& flat) {
    std::size_t limit = pdu.data.dataSetLimit;
    pdu.data.dataSetLimit = kMaxCommitmentDataSet;
    ElementList dataSet;
    bool read = ReadDataSet(pdu, dataSet);
    pdu.data.dataSetLimit = limit;
    if (!read) return false;
    std::string syntax;
    FindAcceptedSyntax(pdu, request.contextID, syntax);
    if (!FlattenDataSet(dataSet, TransferSyntax(syntax).ExplicitVR(), flat)) flat.items.clear();
    return true;
}

DimseCommand EventReport(uint16_t eventType) {
    DimseCommand command;
    command.commandField = kNEventReportRQ;
    command.affectedSopClass = kStorageCommitmentClass;
    command.affectedSopInstance = kStorageCommitmentInstance;
    command.eventTypeID = eventType;
    return command;
}

// Sends the report on an association and reads its answer; false when either fails.
bool Report(PDU& pdu, uint8_t contextID, const CommitmentRequest& checked) {
    DimseCommand command = EventReport(CommitmentEventType(checked));
    ElementList report = CommitmentReport(checked);
    if (!SendRequest(pdu, contextID, command, &report)) return false;
    ReceivedCommand answer;
    if (!ReadResponse(pdu, answer)) return false;
    if (answer.command.HasDataSet()) {
        ElementList ignored;
        if (!ReadDataSet(pdu, ignored)) return false;
    }
    return answer.command.commandField == kNEventReportRSP;
}

// Opens an association to the requestor (taking the provider's role of the class there) and
// reports on it.
bool ReportOnNewAssociation(const ArchiveSetup& setup, const std::string& requestor,
                            const CommitmentRequest& checked) {
    const Peer* peer = setup.peers ? setup.peers->Find(requestor) : nullptr;
    if (!peer || peer->port == 0) {
        LogFailure("Storage commitment report for '" + requestor +
                   "' not sent: no port for it in the peers file");
        return false;
    }
    PDU pdu;
    std::string calling = setup.aeTitle;
    if (!BuildRequest(pdu, calling, peer->aeTitle,
                      {{kStorageCommitmentClass, {kExplicitLittleEndian, kImplicitLittleEndian}}}))
        return false;
    pdu.request.userInformation.roles.push_back({kStorageCommitmentClass, 0, 1});
    bool sent = RequestAssociation(pdu, peer->host, std::to_string(peer->port)) &&
                Report(pdu, FindContextID(pdu, kStorageCommitmentClass), checked);
    ReleaseAssociation(pdu);
    if (!sent) LogFailure("Storage commitment report to " + peer->aeTitle + " failed");
    return sent;
}

uint16_t ActionStatus(const ReceivedCommand& request) {
    if (request.command.requestedSopInstance != kStorageCommitmentInstance) return kNoSuchInstance;
    if (request.command.actionTypeID != kCommitmentRequestAction) return kNoSuchAction;
    return kStatusSuccess;
}

}  // namespace

void CheckCommitment(const ArchiveSetup& setup, CommitmentRequest& request) {
    RetrieveKeys keys;
    keys.level = ArchiveLevel::Image;
    for (const CommitmentReference& reference : request.references)
        keys.sopInstanceUids.push_back(reference.sopInstance);
    std::unordered_map<std::string, std::string> stored;  // instance -> class, of files on disk
    auto note = [&](const StoredInstance& instance) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(JoinPath(setup.storageFolder, instance.path), ec))
            stored[instance.sopInstanceUid] = instance.sopClassUid;
        return true;
    };
    std::string why;
    bool listed = setup.instances && setup.instances(keys, note, why);
    if (!listed) LogFailure("Storage commitment: the stored instances could not be listed: " + why);
    for (CommitmentReference& reference : request.references) {
        auto found = stored.find(reference.sopInstance);
        if (!listed)
            reference.failureReason = kFailureProcessing;
        else if (found == stored.end())
            reference.failureReason = kFailureNoSuchInstance;
        else
            reference.failureReason = found->second == reference.sopClass ? 0 : kFailureClassConflict;
    }
}

bool ServeCommitment(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request) {
    ElementList flat;
    if (request.command.HasDataSet() && !ReadActionDataSet(pdu, request, flat)) return false;
    uint16_t status = ActionStatus(request);
    CommitmentRequest commitment;
    std::string why;
    if (status == kStatusSuccess && !ReadCommitmentRequest(flat, commitment, why)) {
        LogFailure("Storage commitment request refused: " + why);
        status = kInvalidArgument;
    }
    DimseResponse response = MakeResponse(request, status);
    response.command.affectedSopClass = kStorageCommitmentClass;
    response.command.affectedSopInstance = request.command.requestedSopInstance;
    if (status == kStatusSuccess) response.command.actionTypeID = kCommitmentRequestAction;
    if (!SendResponse(pdu, response)) return false;
    if (status != kStatusSuccess) return true;

    CheckCommitment(setup, commitment);
    LogProgress("Storage commitment " + commitment.transactionUid + ": " +
                std::to_string(commitment.references.size()) + " instances checked");
    if (Report(pdu, request.contextID, commitment)) return true;
    // The requestor released (or lost) the association before the report: a new one carries it.
    if (pdu.IsConnected()) return false;
    ReportOnNewAssociation(setup, TrimmedTitle(pdu.request.callingAETitle), commitment);
    return true;  // the association ended as the requestor wished
}

}  // namespace pella
