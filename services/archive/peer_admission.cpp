#include "services/archive/peer_admission.h"

#include "data/registry/sop_classes.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"
#include "net/transport/address_range.h"
#include "services/archive/commitment_request.h"

namespace pella {

namespace {

// Whether the requestor asked to take the provider's role for the class (the stores of a C-GET).
bool ProvidesFor(const std::vector<RoleSelection>& roles, const std::string& sopClass) {
    for (const RoleSelection& role : roles)
        if (role.sopClass == sopClass && role.scpRole != 0) return true;
    return false;
}

Admission Rejected(const std::string& why) {
    LogFailure(why);
    Admission admission;
    admission.rejectReason = reject_reason::kCallingAETitleNotRecognized;
    return admission;
}

}  // namespace

std::optional<PeerService> ServiceOf(const std::string& abstractSyntax, bool providedForGet) {
    if (abstractSyntax == kVerificationSopClass) return PeerService::kEcho;
    if (abstractSyntax == kStorageCommitmentClass) return PeerService::kCommit;
    if (IsStorageSopClass(abstractSyntax)) return providedForGet ? PeerService::kGet : PeerService::kStore;
    const SopClassInfo* info = FindSopClass(abstractSyntax);
    if (!info) return std::nullopt;
    switch (info->queryOperation) {
        case QueryOperation::kFind:
            return PeerService::kFind;
        case QueryOperation::kMove:
            return PeerService::kMove;
        case QueryOperation::kGet:
            return PeerService::kGet;
        case QueryOperation::kNone:
            break;
    }
    return std::nullopt;
}

Admission AdmitPeer(const PeersFile& peers, bool requireKnown, const std::string& callingTitle,
                    const std::string& address, const std::vector<RoleSelection>& roles) {
    const Peer* peer = peers.Find(callingTitle);
    std::string title = TrimmedTitle(callingTitle);
    if (peer && !HostAdmits(peer->host, address)) {
        if (requireKnown)
            return Rejected("The calling AE title " + title + " is not known from " + address +
                            " (its host is " + peer->host + ")");
        peer = nullptr;
    }
    if (!peer) {
        if (requireKnown) return Rejected("The calling AE title " + title + " is not a known peer");
        return Admission{};
    }
    Admission admission;
    if (peer->allowed == kAllPeerServices) return admission;
    admission.refusedFor = [allowed = *peer, roles](const std::string& abstractSyntax) {
        std::optional<PeerService> service = ServiceOf(abstractSyntax, ProvidesFor(roles, abstractSyntax));
        return service && !allowed.Allows(*service);
    };
    return admission;
}

std::function<Admission(const PDU& pdu)> PeerAdmission(std::shared_ptr<const PeersFile> peers,
                                                       bool requireKnown) {
    if (!peers) return {};
    return [peers, requireKnown](const PDU& pdu) {
        return AdmitPeer(*peers, requireKnown, pdu.request.callingAETitle,
                         pdu.buffer.Transport().PeerAddress(), pdu.request.userInformation.roles);
    };
}

}  // namespace pella
