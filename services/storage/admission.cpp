#include "services/storage/admission.h"

#include "log/protocol_log.h"
#include "net/acse/association_failures.h"

namespace pella {

Admission AdmitRequest(const StoreServerConfig& config, const PDU& pdu, std::string& user) {
    user.clear();
    Admission admission = config.admitPeer ? config.admitPeer(pdu) : Admission{};
    if (admission.rejectReason != 0) return admission;
    const std::optional<UserIdentity>& identity = pdu.request.userInformation.identity;
    if (identity && config.users && config.users->Admits(*identity)) {
        user = identity->primaryField;
        admission.confirmIdentity = identity->positiveResponseRequested != 0;
        LogProgress("User identity admitted: " + user);
        return admission;
    }
    if (identity) LogFailure("User identity of '" + identity->primaryField + "' not admitted");
    if (config.requireUser) {
        LogFailure(identity ? "An admitted user identity is required" : "A user identity is required");
        admission.rejectReason = reject_reason::kNoReasonGiven;
    }
    return admission;
}

}  // namespace pella
