#include "services/archive/retrieve_run.h"

#include "services/archive/retrieve_keys.h"

#include <algorithm>
#include <map>

#include "data/registry/dimse_statuses.h"
#include "data/registry/sop_classes.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "services/storage/audit_trail.h"
#include "services/storage/request_handlers.h"

namespace pella {

namespace {

enum class Interruption { kNone, kCancelled, kEnded };

uint16_t Capped(uint32_t count) {
    return static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF));
}

DimseResponse ResponseWithCounts(const ReceivedCommand& request, uint16_t status,
                                 const RetrieveCounts& counts, bool withRemaining) {
    DimseResponse response = MakeResponse(request, status);
    if (withRemaining) response.command.remaining = Capped(counts.remaining);
    response.command.completed = Capped(counts.completed);
    response.command.failed = Capped(counts.failed);
    response.command.warning = Capped(counts.warning);
    return response;
}

// The identifier of a final response: the Failed SOP Instance UID List.
ElementList FailedUidList(const std::vector<std::string>& failed) {
    std::string text;
    for (const std::string& uid : failed) text += (text.empty() ? "" : "\\") + uid;
    if (text.size() % 2 != 0) text.push_back('\0');
    ElementList list;
    list.items.push_back(NewElement(0x0008, 0x0058, static_cast<int32_t>(text.size()), text.data(), "UI"));
    return list;
}

// Looks, without waiting, for a message from the requestor between sub-operations.
Interruption CheckForCancel(PDU& pdu, const ReceivedCommand& request) {
    if (pdu.buffer.InputAvailable() == 0 && !pdu.buffer.Transport().InputWaiting())
        return Interruption::kNone;
    ReceivedCommand received;
    if (!ReadCommand(pdu, received)) return Interruption::kEnded;  // released, aborted or closed
    if (received.command.commandField == kCCancelRQ &&
        received.command.respondedTo == request.command.messageID) {
        LogProgress("C-CANCEL received: the retrieve stops");
        return Interruption::kCancelled;
    }
    LogFailure("A request arrived while a retrieve was running: association aborted");
    AbortAssociation(pdu);
    return Interruption::kEnded;
}

void Count(int32_t status, const StoredInstance& instance, RetrieveCounts& counts,
           std::vector<std::string>& failed) {
    if (status == kStatusSuccess) {
        ++counts.completed;
    } else if (status >= 0 && IsWarningStatus(status)) {
        ++counts.warning;
    } else {
        ++counts.failed;
        failed.push_back(instance.sopInstanceUid);
    }
}

// The study of a stored instance: the first folder of its path.
std::string StudyOf(const StoredInstance& instance) {
    return instance.path.substr(0, instance.path.find('/'));
}

const char* RetrieveService(const ReceivedCommand& request) {
    return request.command.commandField == kCMoveRQ ? "move" : "get";
}

// One audit line for each study a retrieve sent from.
void AuditRetrieve(const ReceivedCommand& request, const std::map<std::string, RetrieveCounts>& byStudy,
                   bool cancelled) {
    AssociationAudit* audit = CurrentAudit();
    if (!audit) return;
    if (byStudy.empty()) audit->NoteRequest(RetrieveService(request), "", {{"completed", 0}}, "success");
    for (const auto& [study, counts] : byStudy) {
        std::string outcome = cancelled                                      ? "cancelled"
                              : counts.failed == 0 && counts.warning == 0    ? "success"
                              : counts.completed == 0 && counts.warning == 0 ? "failure"
                                                                             : "warning";
        audit->NoteRequest(
            RetrieveService(request), study,
            {{"completed", counts.completed}, {"failed", counts.failed}, {"warning", counts.warning}},
            outcome);
    }
}

}  // namespace

uint16_t FinalRetrieveStatus(const RetrieveCounts& counts, bool cancelled) {
    if (cancelled) return kRetrieveCancelled;
    if (counts.failed > 0 && counts.completed == 0 && counts.warning == 0)
        return kRetrieveSubOperationsFailed;
    if (counts.failed > 0 || counts.warning > 0) return kRetrieveWarning;
    return kStatusSuccess;
}

bool ListRetrieveInstances(PDU& pdu, const ReceivedCommand& request, const InstanceSource& source,
                           std::vector<StoredInstance>& instances, uint16_t& status, std::string& why,
                           bool& identifierRead) {
    identifierRead = false;
    status = kRetrieveIdentifierMismatch;
    if (!request.command.HasDataSet()) {
        identifierRead = true;
        why = "the retrieve request carries no identifier";
        return false;
    }
    ElementList identifier;
    if (!ReadDataSet(pdu, identifier)) {
        why = "the retrieve identifier could not be read";
        return false;
    }
    identifierRead = true;
    const SopClassInfo* model = FindSopClass(RequestSopClass(request.command));
    bool patientRoot = model && model->queryModel == QueryModel::kPatientRoot;
    RetrieveKeys keys;
    if (!ReadRetrieveKeys(identifier, patientRoot, keys, why)) return false;
    status = kRetrieveOutOfResources;
    bool tooMany = false;
    auto keep = [&](const StoredInstance& instance) {
        if (instances.size() >= kMaxRetrieveInstances) {
            tooMany = true;
            return false;
        }
        instances.push_back(instance);
        return true;
    };
    if (!source || !source(keys, keep, why)) {
        if (why.empty()) why = "the stored instances could not be listed";
        return false;
    }
    if (tooMany) {
        why = "the retrieve selects more than " + std::to_string(kMaxRetrieveInstances) + " instances";
        return false;
    }
    return true;
}

bool SendRetrieveRefusal(PDU& pdu, const ReceivedCommand& request, uint16_t status, const std::string& why) {
    LogFailure("Retrieve refused: " + why);
    if (AssociationAudit* audit = CurrentAudit())
        audit->NoteRequest(RetrieveService(request), "", {}, "refused");
    return SendResponse(pdu, MakeResponse(request, status));
}

bool RunRetrieve(PDU& pdu, const ReceivedCommand& request, const std::vector<StoredInstance>& instances,
                 const SendInstance& send) {
    RetrieveCounts counts;
    counts.remaining = static_cast<uint32_t>(instances.size());
    std::vector<std::string> failed;
    std::map<std::string, RetrieveCounts> byStudy;  // for the audit trail
    std::vector<std::string> ignored;
    bool cancelled = false;
    for (std::size_t i = 0; i < instances.size(); ++i) {
        Interruption interruption = CheckForCancel(pdu, request);
        if (interruption == Interruption::kEnded) return false;
        if (interruption == Interruption::kCancelled) {
            cancelled = true;
            break;
        }
        int32_t sent = send(instances[i]);
        Count(sent, instances[i], counts, failed);
        Count(sent, instances[i], byStudy[StudyOf(instances[i])], ignored);
        if (counts.remaining > 0) --counts.remaining;
        if (i + 1 < instances.size() &&
            !SendResponse(pdu, ResponseWithCounts(request, kStatusPending, counts, true)))
            return false;
    }
    uint16_t status = FinalRetrieveStatus(counts, cancelled);
    AuditRetrieve(request, byStudy, cancelled);
    LogProgress("Retrieve done: " + std::to_string(counts.completed) + " completed, " +
                std::to_string(counts.failed) + " failed, " + std::to_string(counts.warning) + " warning");
    DimseResponse final = ResponseWithCounts(request, status, counts, cancelled);
    if (failed.empty()) return SendResponse(pdu, final);
    ElementList identifier = FailedUidList(failed);
    return SendResponse(pdu, final, &identifier);
}

}  // namespace pella
