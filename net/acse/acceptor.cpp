#include "net/acse/acceptor.h"

#include <chrono>

#include "data/io/meta_header.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"
#include "net/acse/upper_layer.h"

namespace pella {

namespace {

void SetOurUserInformation(UserInformation& info, uint32_t maxPduLength) {
    info = UserInformation();
    info.maxLength = maxPduLength;
    info.SetImplementationClassUID(kImplementationClassUid);
    info.SetImplementationVersionName(kAssociationVersionName);
}

// Takes over the connection and reads its first PDU, which must be an A-ASSOCIATE-RQ (AE-6),
// whole within the transport's time-out; anything else gets the transition table's answer.
bool ReadRequest(PDU& pdu, SocketHandle connection, std::shared_ptr<const TlsContext> tls) {
    pdu.buffer.Clear();
    pdu.data.Reset();
    pdu.lastMessageID = 0;
    pdu.ulState = UlState::kSta1;
    pdu.requestor = false;
    // Message dumps at level 2 and above, as for associations this system requests.
    if (LogLevel() > 1) pdu.dumpFlag = true;
    TcpTransport& transport = pdu.buffer.Transport();
    transport.Adopt(std::move(connection));
    // The whole request, however slowly it trickles in, must come within the time-out.
    transport.SetDeadline(TcpTransport::Clock::now() + std::chrono::seconds(transport.TimeoutSeconds()));
    if (tls && !transport.StartTls(std::move(tls), {})) {
        LogFailure("TLS with " + transport.PeerAddress() + " failed: " + transport.FailureText());
        return false;
    }
    Fire(pdu, UlEvent::kEvt5);
    uint8_t type = 0;
    UlAction action = ReceivePdu(pdu, type);
    transport.SetDeadline(std::nullopt);
    pdu.request.pduType = type;
    if (action == UlAction::kAE6) return true;
    if (type == 0)
        LogFailure("The connection closed before an A-ASSOCIATE-RQ arrived");
    else if (type == pdu_type::kAssociateRQ)
        LogFailure("The A-ASSOCIATE-RQ could not be read");
    else
        LogFailure("The first PDU was of type " + std::to_string(type) + ", not an A-ASSOCIATE-RQ");
    return false;
}

// Answers the request with an A-ASSOCIATE-RJ (AE-8) and closes.
void Reject(PDU& pdu, const Rejection& rejection) {
    AssociateRJ reject;
    reject.result = rejection.result;
    reject.source = rejection.source;
    reject.reason = rejection.reason;
    LogFailure("Association rejected: " + RejectText(reject.result, reject.source, reject.reason) +
               " (called " + TrimmedTitle(pdu.request.calledAETitle) + ", calling " +
               TrimmedTitle(pdu.request.callingAETitle) + ")");
    if (Fire(pdu, UlEvent::kEvt8) == UlAction::kAE8) reject.Write(pdu.buffer);
    Fire(pdu, UlEvent::kEvt18);
}

// An association whose every context was refused carries nothing: the peer is expected to
// release it (answered) or abort it; anything else is aborted.
void AwaitPeerRelease(PDU& pdu) {
    uint8_t type = 0;
    UlAction action = ReceivePdu(pdu, type);
    if (action == UlAction::kAR2) {
        LogProgress("A-RELEASE-RQ received: association released");
        Fire(pdu, UlEvent::kEvt14);
    } else if (action == UlAction::kDT2) {
        LogFailure("Presentation data on an association without accepted contexts");
        AbortAssociation(pdu);
    }
    pdu.buffer.Transport().Close();
}

}  // namespace

bool BuildAccept(PDU& pdu, const AcceptorPolicy& policy) {
    AssociateAC& accept = pdu.accept;
    accept = AssociateAC();
    accept.SetCalledAETitle(pdu.request.calledAETitle);
    accept.SetCallingAETitle(pdu.request.callingAETitle);
    LogProgress("Called Ap. Title: " + pdu.request.calledAETitle);
    LogProgress("Calling Ap. Title: " + pdu.request.callingAETitle);
    accept.SetApplicationContext(pdu.request.applicationContext.text);
    pdu.acceptedContexts.clear();

    std::vector<ContextDecision> decisions =
        NegotiateContexts(pdu.request.presentationContexts, policy.serving);
    for (const ContextDecision& decision : decisions) {
        PresentationContextAC answer;
        answer.contextID = decision.contextID;
        answer.result = decision.result;
        answer.SetTransferSyntax(decision.transferSyntax);
        if (!decision.abstractSyntax.empty()) answer.SetAbstractSyntax(decision.abstractSyntax);
        if (decision.Accepted()) {
            LogProgress("Offered Presentation Context, Abstract Syntax: " + decision.abstractSyntax);
            LogProgress("Offered Presentation Context, Transfer Syntax: " + decision.transferSyntax);
            pdu.acceptedContexts.push_back(answer);
        }
        accept.presentationContexts.push_back(std::move(answer));
    }
    // Our own user information, whether or not a context was accepted.
    SetOurUserInformation(accept.userInformation, pdu.receivePduLength);
    accept.userInformation.roles =
        NegotiateRoles(pdu.request.userInformation.roles, decisions, policy.serving);
    // Usernames (with or without a passcode) are confirmed with an empty server response.
    if (policy.confirmIdentity) accept.userInformation.identityResponse = std::string();
    if (!pdu.acceptedContexts.empty())
        pdu.SetPeerMaxPduLength(pdu.request.userInformation.maxLength);
    else
        LogFailure("No presentation context of the request can be accepted");
    if (Fire(pdu, UlEvent::kEvt7) != UlAction::kAE7) return false;
    bool sent = accept.Write(pdu.buffer);
    if (!sent) LogFailure("A-ASSOCIATE-AC could not be sent");
    return sent && !pdu.acceptedContexts.empty();
}

uint8_t RejectionReason(const PDU& pdu, const AcceptorPolicy& policy) {
    if (policy.requireCalledAETitle &&
        TrimmedTitle(pdu.request.calledAETitle) != TrimmedTitle(policy.aeTitle))
        return reject_reason::kCalledAETitleNotRecognized;
    if (pdu.request.applicationContext.text != kApplicationContextName)
        return reject_reason::kApplicationContextNotSupported;
    if (pdu.request.presentationContexts.empty()) return reject_reason::kNoReasonGiven;
    return 0;
}

bool AcceptAssociation(PDU& pdu, SocketHandle connection, const AcceptorPolicy& policy) {
    if (!ReadRequest(pdu, std::move(connection), policy.tls)) return false;
    Admission admission;
    uint8_t reason = RejectionReason(pdu, policy);
    if (reason == 0 && policy.admit) {
        admission = policy.admit(pdu);
        reason = admission.rejectReason;
    }
    if (reason != 0) {
        Reject(pdu, Rejection{1, 1, reason});
        return false;
    }
    AcceptorPolicy admitted = policy;
    if (admission.refusedFor) admitted.serving.refusedFor = admission.refusedFor;
    admitted.confirmIdentity = admission.confirmIdentity;
    if (BuildAccept(pdu, admitted)) return true;
    if (IsEstablished(pdu) && pdu.IsConnected()) AwaitPeerRelease(pdu);
    pdu.buffer.Transport().Close();
    return false;
}

}  // namespace pella
