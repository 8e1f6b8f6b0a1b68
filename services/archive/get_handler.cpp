#include "services/archive/get_handler.h"

#include "data/registry/sop_classes.h"
#include "log/protocol_log.h"
#include "net/acse/negotiated_roles.h"
#include "services/archive/retrieve_run.h"
#include "services/storage/object_paths.h"
#include "services/storage/store_session.h"

namespace pella {

namespace {

int32_t SendOnRequestingAssociation(const ArchiveSetup& setup, PDU& pdu, const StoredInstance& instance) {
    if (!RolesFor(pdu, instance.sopClassUid).requestorIsProvider) {
        LogFailure(instance.sopInstanceUid + " not sent: the requestor took no storage role for " +
                   SopClassName(instance.sopClassUid));
        return -1;
    }
    LoadedObject object;
    std::string reason;
    if (!LoadObject(JoinPath(setup.storageFolder, instance.path), object, reason)) return -1;
    StoreOutcome outcome = SendLoadedObject(pdu, object, true);
    if (!outcome.Stored()) LogFailure(instance.sopInstanceUid + " not sent: " + outcome.reason);
    return outcome.status;
}

}  // namespace

bool ServeGet(const ArchiveSetup& setup, PDU& pdu, const ReceivedCommand& request) {
    std::vector<StoredInstance> instances;
    uint16_t status = 0;
    std::string why;
    bool identifierRead = false;
    if (!ListRetrieveInstances(pdu, request, setup.instances, instances, status, why, identifierRead))
        return identifierRead && SendRetrieveRefusal(pdu, request, status, why);
    LogProgress("C-GET of " + std::to_string(instances.size()) + " instances");
    auto send = [&](const StoredInstance& instance) {
        return pdu.IsConnected() ? SendOnRequestingAssociation(setup, pdu, instance) : -1;
    };
    return RunRetrieve(pdu, request, instances, send) && pdu.IsConnected();
}

}  // namespace pella
