#include "net/acse/acceptor.h"

#include <array>

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"

namespace pella {

namespace {

constexpr const char* kUltrasoundMultiframe = "1.2.840.10008.5.1.4.1.1.3.1";
constexpr uint8_t kAbstractSyntaxNotSupported = 3;
constexpr uint8_t kTransferSyntaxesNotSupported = 4;


bool Offers(const PresentationContextRQ& proposed, const std::string& syntax) {
    for (const auto& offered : proposed.transferSyntaxes)
        if (offered.text == syntax) return true;
    return false;
}

void SetOurUserInformation(UserInformation& info) {
    info = UserInformation();
    info.maxLength = kOurMaxPduLength;
    info.SetImplementationClassUID(kImplementationClassUid);
    info.SetImplementationVersionName(kAssociationVersionName);
}

// Reads the first PDU, which must be an A-ASSOCIATE-RQ; anything else is a protocol error.
bool ReadRequest(PDU& pdu) {
    uint8_t type = 0;
    if (!pdu.buffer.ReadU8(type)) {
        LogFailure("The connection closed before an A-ASSOCIATE-RQ arrived");
        pdu.buffer.Transport().Close();
        return false;
    }
    pdu.request.pduType = type;
    if (type != pdu_type::kAssociateRQ) {
        bool known = type >= pdu_type::kAssociateRQ && type <= pdu_type::kAbort;
        LogFailure("The first PDU was of type " + std::to_string(type) + ", not an A-ASSOCIATE-RQ");
        AbortForProtocolError(pdu, known ? abort_reason::kUnexpectedPdu : abort_reason::kUnrecognizedPdu);
        return false;
    }
    if (!pdu.request.Read(pdu.buffer)) {
        LogFailure("The A-ASSOCIATE-RQ could not be read");
        if (pdu.IsConnected()) AbortForProtocolError(pdu, abort_reason::kInvalidParameterValue);
        return false;
    }
    return true;
}

void Reject(PDU& pdu, const Rejection& rejection) {
    AssociateRJ reject;
    reject.result = rejection.result;
    reject.source = rejection.source;
    reject.reason = rejection.reason;
    LogFailure("Association rejected: " + RejectText(reject.result, reject.source, reject.reason) +
               " (called " + TrimmedTitle(pdu.request.calledAETitle) + ", calling " +
               TrimmedTitle(pdu.request.callingAETitle) + ")");
    reject.Write(pdu.buffer);
    pdu.buffer.Transport().Close();
}

}  // namespace

std::string ChooseTransferSyntax(const PresentationContextRQ& proposed) {
    const std::string& abstract = proposed.abstractSyntax.text;
    if (abstract == kUltrasoundMultiframe && Offers(proposed, kJpegBaseline)) return kJpegBaseline;
    for (const char* syntax : {kJpegLossless, kImplicitLittleEndian, kExplicitLittleEndian, kJpegBaseline})
        if (Offers(proposed, syntax)) return syntax;
    return "";
}

bool ServesAbstractSyntax(const AcceptorPolicy& policy, const std::string& abstractSyntax) {
    if (policy.allStorageClasses && IsStorageSopClass(abstractSyntax)) return true;
    return IsServedSopClass(abstractSyntax);
}

bool BuildAccept(PDU& pdu, const AcceptorPolicy& policy) {
    AssociateAC& accept = pdu.accept;
    accept = AssociateAC();
    accept.SetCalledAETitle(pdu.request.calledAETitle);
    accept.SetCallingAETitle(pdu.request.callingAETitle);
    LogProgress("Called Ap. Title: " + pdu.request.calledAETitle);
    LogProgress("Calling Ap. Title: " + pdu.request.callingAETitle);
    accept.SetApplicationContext(pdu.request.applicationContext.text);
    accept.userInformation = pdu.request.userInformation;
    pdu.acceptedContexts.clear();

    for (const auto& proposed : pdu.request.presentationContexts) {
        PresentationContextAC answer;
        answer.contextID = proposed.contextID;
        answer.result = kAbstractSyntaxNotSupported;
        answer.SetTransferSyntax("");
        const std::string& abstract = proposed.abstractSyntax.text;
        if (ServesAbstractSyntax(policy, abstract)) {
            answer.result = kTransferSyntaxesNotSupported;
            answer.SetAbstractSyntax(abstract);
            std::string chosen = ChooseTransferSyntax(proposed);
            if (!chosen.empty()) {
                LogProgress("Offered Presentation Context, Abstract Syntax: " + abstract);
                LogProgress("Offered Presentation Context, Transfer Syntax: " + chosen);
                answer.result = 0;
                answer.SetTransferSyntax(chosen);
                pdu.acceptedContexts.push_back(answer);
            }
        }
        accept.presentationContexts.push_back(std::move(answer));
    }
    if (!pdu.acceptedContexts.empty()) {
        SetOurUserInformation(accept.userInformation);
        pdu.SetPeerMaxPduLength(pdu.request.userInformation.maxLength);
    } else {
        LogFailure("No presentation context of the request can be accepted");
    }
    bool sent = accept.Write(pdu.buffer);
    if (!sent) LogFailure("A-ASSOCIATE-AC could not be sent");
    return sent && !pdu.acceptedContexts.empty();
}

uint8_t RejectionReason(const PDU& pdu, const AcceptorPolicy& policy) {
    if (policy.requireCalledAETitle && TrimmedTitle(pdu.request.calledAETitle) != TrimmedTitle(policy.aeTitle))
        return reject_reason::kCalledAETitleNotRecognized;
    if (pdu.request.applicationContext.text != kApplicationContextName)
        return reject_reason::kApplicationContextNotSupported;
    if (pdu.request.presentationContexts.empty()) return reject_reason::kNoReasonGiven;
    return 0;
}

bool AcceptAssociation(PDU& pdu, SocketHandle connection, const AcceptorPolicy& policy) {
    pdu.buffer.Clear();
    pdu.data.Reset();
    pdu.lastMessageID = 0;
    pdu.buffer.Transport().Adopt(std::move(connection));
    if (!ReadRequest(pdu)) return false;
    if (uint8_t reason = RejectionReason(pdu, policy); reason != 0) {
        Reject(pdu, Rejection{1, 1, reason});
        return false;
    }
    if (BuildAccept(pdu, policy)) return true;
    pdu.buffer.Transport().Close();
    return false;
}

bool RejectAssociation(PDU& pdu, SocketHandle connection, const Rejection& rejection) {
    pdu.buffer.Clear();
    pdu.buffer.Transport().Adopt(std::move(connection));
    if (!ReadRequest(pdu)) return false;
    Reject(pdu, rejection);
    return true;
}

}  // namespace pella
