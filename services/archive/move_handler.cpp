#include "services/archive/move_handler.h"

#include "log/protocol_log.h"
#include "services/archive/retrieve_run.h"
#include "services/storage/object_paths.h"
#include "services/storage/store_session.h"

namespace pella {

namespace {

// The destination's address, or null when it is unknown or never called.
const Peer* Destination(const ArchiveSetup& setup, const std::string& aeTitle) {
    const Peer* peer = setup.peers ? setup.peers->Find(aeTitle) : nullptr;
    return peer && peer->port != 0 ? peer : nullptr;
}

}  // namespace

bool ServeMove(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request) {
    std::vector<StoredInstance> instances;
    uint16_t status = 0;
    std::string why;
    bool identifierRead = false;
    bool listed =
        ListRetrieveInstances(pdu, request, setup.instances, instances, status, why, identifierRead);
    if (!identifierRead) return false;
    const Peer* destination = Destination(setup, request.command.moveDestination);
    if (!destination)
        return SendRetrieveRefusal(pdu, request, kRetrieveDestinationUnknown,
                                   "move destination '" + request.command.moveDestination + "' is unknown");
    if (!listed) return SendRetrieveRefusal(pdu, request, status, why);
    LogProgress("C-MOVE of " + std::to_string(instances.size()) + " instances to " + destination->aeTitle);

    StoreTarget target;
    target.host = destination->host;
    target.port = std::to_string(destination->port);
    target.calling = setup.aeTitle;
    target.called = destination->aeTitle;
    target.convert = true;  // a destination taking none of the stored syntaxes gets a converted object
    StoreSession session(target);
    std::vector<PlannedObject> plan;
    plan.reserve(instances.size());
    for (const StoredInstance& instance : instances)
        plan.push_back({instance.sopClassUid, instance.transferSyntaxUid});
    session.PlanAhead(std::move(plan));
    auto send = [&](const StoredInstance& instance) -> int32_t {
        if (session.Stopped()) return -1;
        StoreOutcome outcome = session.SendFile(JoinPath(setup.storageFolder, instance.path));
        if (!outcome.Stored()) LogFailure(instance.sopInstanceUid + " not moved: " + outcome.reason);
        return outcome.status;
    };
    bool goesOn = RunRetrieve(pdu, request, instances, send);
    session.Close();
    return goesOn;
}

}  // namespace pella
