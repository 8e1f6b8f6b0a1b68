#include "net/acse/association.h"

#include <algorithm>
#include <chrono>

#include "data/io/element_header.h"
#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"
#include "net/acse/client_identity.h"
#include "net/acse/client_limits.h"
#include "net/acse/client_tls.h"
#include "net/acse/upper_layer.h"
#include "net/pdu/pdu_limits.h"

namespace pella {

namespace {

// The first byte of a TLS record (an alert, a handshake): a TLS port answering a plain request.
constexpr uint8_t kTlsAlertRecord = 0x15;
constexpr uint8_t kTlsHandshakeRecord = 0x16;

std::string WithoutTrailingSpaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// An accepted context must be one we proposed, in one of the transfer syntaxes proposed for
// it: anything else would have us send data in an encoding we never offered. Empty when it is,
// else why not.
std::string AcceptanceFault(const PDU& pdu, const PresentationContextAC& accepted) {
    const std::string syntax = WithoutTrailingSpaces(accepted.transferSyntax.text);
    const std::string context = "presentation context " + std::to_string(accepted.contextID);
    for (const auto& proposed : pdu.request.presentationContexts) {
        if (proposed.contextID != accepted.contextID) continue;
        for (const auto& offered : proposed.transferSyntaxes)
            if (WithoutTrailingSpaces(offered.text) == syntax) return {};
        return "The A-ASSOCIATE-AC accepts " + context + " with transfer syntax \"" + syntax +
               "\", which was not proposed for it";
    }
    return "The A-ASSOCIATE-AC accepts " + context + ", which was never proposed";
}

// Takes the A-ASSOCIATE-AC just read (AE-3): keeps its accepted contexts. One without any is
// of no use, and one that accepts what was not proposed is a faulty peer: the association is
// aborted.
bool TakeAcceptance(PDU& pdu) {
    LogProgress("Association Accept::ReadDynamic");
    std::string refusals;
    for (const auto& context : pdu.accept.presentationContexts) {
        if (context.result != 0) continue;
        if (std::string fault = AcceptanceFault(pdu, context); !fault.empty()) {
            AbortForProtocolError(pdu, abort_reason::kInvalidParameterValue);
            LogFailure(fault + ": association aborted");
            pdu.acceptedContexts.clear();
            return false;
        }
    }
    for (const auto& context : pdu.accept.presentationContexts) {
        if (context.result != 0) {
            refusals += "; context " + std::to_string(context.contextID) + " (" +
                        ProposedAbstractSyntax(pdu, context.contextID) +
                        ") refused: " + ContextResultText(context.result);
            continue;
        }
        pdu.acceptedContexts.push_back(context);
        LogProgress("Presentation Context Accept, Transfer Syntax: " + context.transferSyntax.text);
    }
    if (!pdu.acceptedContexts.empty()) {
        pdu.SetPeerMaxPduLength(pdu.accept.userInformation.maxLength);
        return true;
    }
    LogFailure("Association Accept without an accepted presentation context" + refusals);
    Fire(pdu, UlEvent::kEvt15);
    return false;
}

// Takes the A-ASSOCIATE-RJ just read (AE-4; the connection is closed).
bool TakeRejection(PDU& pdu) {
    pdu.rejected = true;
    LogFailure("Association Rejected: " +
               RejectText(pdu.reject.result, pdu.reject.source, pdu.reject.reason));
    return false;
}

// Reads PDUs after our A-RELEASE-RQ until the association is over or `deadline` passes:
// values still arriving are dropped, a release collision is answered.
void AwaitReleaseReply(PDU& pdu, std::chrono::steady_clock::time_point deadline) {
    while (pdu.ulState != UlState::kSta1 && pdu.IsConnected()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            LogFailure("No A-RELEASE-RP in time: connection closed");
            break;
        }
        uint8_t type = 0;
        UlAction action = ReceivePdu(pdu, type);
        if (action == UlAction::kAR6 && !pdu.buffer.Skip(pdu.data.pendingLength)) break;
        pdu.data.pendingLength = 0;
        if (action == UlAction::kAR8 && pdu.ulState == UlState::kSta9) Fire(pdu, UlEvent::kEvt14);
        if (action == UlAction::kAR10) Fire(pdu, UlEvent::kEvt14);
    }
}

}  // namespace

std::string ProposedAbstractSyntax(const PDU& pdu, uint8_t contextID) {
    for (const auto& proposed : pdu.request.presentationContexts)
        if (proposed.contextID == contextID) return SopClassName(proposed.abstractSyntax.text);
    return "not proposed";
}

std::vector<std::string> OpenAssocSyntaxes(const std::string& wanted) {
    std::vector<std::string> syntaxes;
    if (!wanted.empty() && !TransferSyntax(wanted).IsImplicitLittleEndian()) syntaxes.push_back(wanted);
    syntaxes.push_back(kImplicitLittleEndian);
    return syntaxes;
}

std::vector<std::string> StoreAssocSyntaxes(const std::string& fileSyntax, const std::string& wantedSyntax) {
    std::vector<std::string> syntaxes;
    if (!wantedSyntax.empty() && !TransferSyntax(wantedSyntax).IsImplicitLittleEndian())
        syntaxes.push_back(wantedSyntax);
    if (!fileSyntax.empty() && !TransferSyntax(fileSyntax).IsImplicitLittleEndian() &&
        fileSyntax != wantedSyntax)
        syntaxes.push_back(fileSyntax);
    syntaxes.push_back(kImplicitLittleEndian);
    return syntaxes;
}

bool BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::vector<ProposedContext>& contexts) {
    if (calling.empty()) calling = kDefaultCallingAETitle;
    pdu.request = AssociateRQ();
    pdu.request.SetCallingAETitle(calling);
    pdu.request.SetCalledAETitle(called);
    pdu.request.SetApplicationContext(kApplicationContextName);
    if (contexts.empty() || contexts.size() > kMaxPresentationContexts) {
        LogFailure("An association proposes 1 to 128 presentation contexts, not " +
                   std::to_string(contexts.size()));
        return false;
    }
    uint8_t id = 1;
    for (const ProposedContext& proposed : contexts) {
        PresentationContextRQ context;
        context.contextID = id;
        id = static_cast<uint8_t>(id + 2);
        context.SetAbstractSyntax(proposed.abstractSyntax);
        for (const auto& syntax : proposed.transferSyntaxes) context.AddTransferSyntax(syntax);
        pdu.request.presentationContexts.push_back(std::move(context));
    }
    return true;
}

void BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::string& abstractSyntax, const std::vector<std::string>& syntaxes) {
    BuildRequest(pdu, calling, called, {ProposedContext{abstractSyntax, syntaxes}});
}

bool RequestAssociation(PDU& pdu, const std::string& host, const std::string& port) {
    TcpTransport& transport = pdu.buffer.Transport();
    transport.Close();  // a connection left from an earlier association
    pdu.buffer.Clear();
    pdu.data.Reset();
    pdu.lastMessageID = 0;
    pdu.acceptedContexts.clear();
    pdu.rejected = false;
    pdu.ulState = UlState::kSta1;
    pdu.requestor = true;
    // Message dumps at level 2 and above, for every way an association is opened.
    if (LogLevel() > 1) pdu.dumpFlag = true;
    transport.SetTimeoutSeconds(CurrentClientLimits().timeoutSeconds);
    transport.SetDeadline(std::nullopt);
    pdu.data.dataSetLimit = kMaxResponseDataSet;
    pdu.receivePduLength = ReceivePduLengthOrDefault(CurrentClientLimits().maxPduLength);
    pdu.request.userInformation.maxLength = pdu.receivePduLength;
    pdu.request.userInformation.SetImplementationClassUID(kImplementationClassUid);
    pdu.request.userInformation.SetImplementationVersionName(kAssociationVersionName);
    pdu.request.userInformation.identity = CurrentClientIdentity();

    Fire(pdu, UlEvent::kEvt1);
    if (!transport.Connect(host, port)) {
        LogFailure("Connection to " + host + ":" + port + " failed: " + transport.FailureText());
        Fire(pdu, UlEvent::kEvt17);
        return false;
    }
    LogProgress("Connected to: " + host + ":" + port);
    if (std::shared_ptr<const TlsContext> tls = CurrentClientTls(); tls) {
        // The handshake shares the connection's time limit.
        transport.SetDeadline(std::chrono::steady_clock::now() +
                              std::chrono::seconds(transport.TimeoutSeconds()));
        bool secured = transport.StartTls(std::move(tls), host);
        transport.SetDeadline(std::nullopt);
        if (!secured) {
            LogFailure("TLS with " + host + ":" + port + " failed: " + transport.FailureText());
            Fire(pdu, UlEvent::kEvt17);
            return false;
        }
    }
    const bool overTls = transport.IsTls();
    Fire(pdu, UlEvent::kEvt2);
    if (!pdu.request.Write(pdu.buffer)) {
        // A TLS 1.3 server checks the client's certificate after the client's side of the
        // handshake is done: its refusal shows as the connection ending here.
        LogFailure(overTls ? "The TLS peer ended the connection before the A-ASSOCIATE-RQ went out (" +
                                 transport.FailureText() +
                                 "); it may want a client certificate it trusts (--tls-cert)"
                           : std::string("Association RQ failed!"));
        return false;
    }
    // The whole answer must arrive within the time limit, however slowly the peer sends it.
    transport.SetDeadline(std::chrono::steady_clock::now() +
                          std::chrono::seconds(transport.TimeoutSeconds()));
    uint8_t type = 0;
    UlAction action = ReceivePdu(pdu, type);
    transport.SetDeadline(std::nullopt);
    if (type != 0) LogProgress("Item Type: " + std::to_string(type));
    if (action == UlAction::kAE3) return TakeAcceptance(pdu);
    if (action == UlAction::kAE4) return TakeRejection(pdu);
    if (action == UlAction::kAA3) return false;
    if (type == 0 || transport.TimedOut())
        LogFailure("No answer to the A-ASSOCIATE-RQ from " + host + ":" + port + ": " +
                   transport.FailureText());
    else if (!overTls && (type == kTlsAlertRecord || type == kTlsHandshakeRecord))
        LogFailure("The peer at " + host + ":" + port + " answered with TLS: the port wants TLS");
    else
        LogFailure("Corrupt Transmission...");
    return false;
}

bool ReleaseAssociation(PDU& pdu) {
    pdu.data.Reset();
    if (IsEstablished(pdu) && pdu.IsConnected()) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kReleaseReplyTimeoutSeconds);
        TcpTransport& transport = pdu.buffer.Transport();
        int previous = transport.TimeoutSeconds();
        if (previous > kReleaseReplyTimeoutSeconds) transport.SetTimeoutSeconds(kReleaseReplyTimeoutSeconds);
        transport.SetDeadline(deadline);
        Fire(pdu, UlEvent::kEvt11);
        AwaitReleaseReply(pdu, deadline);
        transport.SetDeadline(std::nullopt);
        transport.SetTimeoutSeconds(previous);
    } else if (pdu.IsConnected()) {
        AbortAssociation(pdu);
    }
    pdu.buffer.Transport().Close();
    pdu.buffer.Clear();
    pdu.ulState = UlState::kSta1;
    return true;
}

bool OpenAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
               const std::string& called, const std::string& abstractSyntax,
               const std::string& wantedSyntax) {
    BuildRequest(pdu, calling, called, abstractSyntax, OpenAssocSyntaxes(wantedSyntax));
    return RequestAssociation(pdu, host, port);
}

bool OpenStoreAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
                    const std::string& called, const std::string& abstractSyntax,
                    const std::string& fileSyntax, const std::string& wantedSyntax) {
    BuildRequest(pdu, calling, called, abstractSyntax, StoreAssocSyntaxes(fileSyntax, wantedSyntax));
    return RequestAssociation(pdu, host, port);
}

void AbortAssociation(PDU& pdu) {
    if (Fire(pdu, UlEvent::kEvt15) == UlAction::kNone) {
        pdu.buffer.Transport().Close();
        pdu.buffer.Clear();
        pdu.ulState = UlState::kSta1;
    }
    pdu.data.pendingLength = 0;
}

void AbortForProtocolError(PDU& pdu, uint8_t reason) {
    if (Fire(pdu, UlEvent::kEvt19, reason) == UlAction::kNone) AbortAssociation(pdu);
}

}  // namespace pella

uint16_t PDU::NextMessageID() {
    if (++lastMessageID == 0) lastMessageID = 1;
    return lastMessageID;
}

uint32_t pella::ReceivePduLengthOrDefault(uint32_t requested) {
    if (requested == 0) return kOurMaxPduLength;
    return std::clamp(requested, kMinReceivePduLength, kMaxReceivePduLength);
}

void PDU::SetPeerMaxPduLength(uint32_t announced) {
    uint32_t length = announced == 0 ? pella::kSendPduCap : std::min(announced, pella::kSendPduCap);
    sendPduLength = std::max(length, pella::kMinSendPduLength);
}

PDU::PDU(int timeoutSeconds) : buffer(timeoutSeconds) {
    buffer.SetReadOrder(pella::kBigEndian);
    buffer.SetWriteOrder(pella::kBigEndian);
}

PDU::~PDU() {
    try {
        if (IsConnected()) pella::ReleaseAssociation(*this);
    } catch (...) {
    }
}
