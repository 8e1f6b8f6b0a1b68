#include "net/acse/association.h"

#include <algorithm>

#include "data/io/element_header.h"
#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"
#include "net/pdu/pdu_limits.h"

namespace pella {

namespace {

// Reads the answer to our request after its type byte.
bool ReadAcceptance(PDU& pdu) {
    LogProgress("Association Accept::ReadDynamic");
    if (!pdu.accept.Read(pdu.buffer)) {
        LogFailure("Association Accept could not be read: malformed A-ASSOCIATE-AC");
        pdu.buffer.Transport().Close();
        return false;
    }
    std::string refusals;
    for (const auto& context : pdu.accept.presentationContexts) {
        if (context.result != 0) {
            refusals += "; context " + std::to_string(context.contextID) + " (" +
                        ProposedAbstractSyntax(pdu, context.contextID) + ") refused: " +
                        ContextResultText(context.result);
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
    pdu.buffer.Transport().Close();
    return false;
}

bool ReadRejection(PDU& pdu) {
    pdu.rejected = true;
    bool read = pdu.reject.Read(pdu.buffer);
    pdu.buffer.Transport().Close();
    if (!read) {
        LogFailure("Association Rejected... (malformed A-ASSOCIATE-RJ)");
        return false;
    }
    LogFailure("Association Rejected: " + RejectText(pdu.reject.result, pdu.reject.source, pdu.reject.reason));
    return false;
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

std::vector<std::string> StoreAssocSyntaxes(const std::string& fileSyntax,
                                            const std::string& wantedSyntax) {
    std::vector<std::string> syntaxes;
    if (!wantedSyntax.empty() && !TransferSyntax(wantedSyntax).IsImplicitLittleEndian())
        syntaxes.push_back(wantedSyntax);
    if (!fileSyntax.empty() && !TransferSyntax(fileSyntax).IsImplicitLittleEndian() && fileSyntax != wantedSyntax)
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
    pdu.data.Reset();
    pdu.lastMessageID = 0;
    pdu.acceptedContexts.clear();
    pdu.rejected = false;
    // Message dumps at level 2 and above, for every way an association is opened.
    if (LogLevel() > 1) pdu.dumpFlag = true;
    pdu.request.userInformation.maxLength = kOurMaxPduLength;
    pdu.request.userInformation.SetImplementationClassUID(kImplementationClassUid);
    pdu.request.userInformation.SetImplementationVersionName(kAssociationVersionName);

    TcpTransport& transport = pdu.buffer.Transport();
    if (!transport.Connect(host, port)) {
        LogFailure("Connection to " + host + ":" + port + " failed");
        return false;
    }
    LogProgress("Connected to: " + host + ":" + port);
    if (!pdu.request.Write(pdu.buffer)) {
        LogFailure("Association RQ failed!");
        return false;
    }
    uint8_t type = 0;
    bool gotType = pdu.buffer.ReadU8(type);
    if (gotType) LogProgress("Item Type: " + std::to_string(type));
    if (gotType && type == pdu_type::kAssociateAC) return ReadAcceptance(pdu);
    if (gotType && type == pdu_type::kAssociateRJ) return ReadRejection(pdu);
    if (gotType && type == pdu_type::kAbort) {
        bool read = pdu.abort.Read(pdu.buffer);
        transport.Close();
        LogFailure("A-ABORT received instead of an answer: " +
                   (read ? AbortText(pdu.abort.source, pdu.abort.reason) : std::string("malformed")));
        return false;
    }
    LogFailure("Corrupt Transmission...");
    transport.Close();
    return false;
}

bool ReleaseAssociation(PDU& pdu) {
    pdu.data.Reset();
    TcpTransport& transport = pdu.buffer.Transport();
    if (transport.IsConnected()) {
        if (pdu.releaseRequest.Write(pdu.buffer)) {
            int previous = transport.TimeoutSeconds();
            if (previous > kReleaseReplyTimeoutSeconds)
                transport.SetTimeoutSeconds(kReleaseReplyTimeoutSeconds);
            pdu.releaseReply.ReadWithType(pdu.buffer);
            transport.SetTimeoutSeconds(previous);
        }
    }
    transport.Close();
    pdu.buffer.Clear();
    return true;
}

bool OpenAssoc(PDU& pdu, const std::string& host, const std::string& port, std::string& calling,
               const std::string& called, const std::string& abstractSyntax,
               const std::string& wantedSyntax) {
    BuildRequest(pdu, calling, called, abstractSyntax, OpenAssocSyntaxes(wantedSyntax));
    return RequestAssociation(pdu, host, port);
}

bool OpenStoreAssoc(PDU& pdu, const std::string& host, const std::string& port,
                    std::string& calling, const std::string& called,
                    const std::string& abstractSyntax, const std::string& fileSyntax,
                    const std::string& wantedSyntax) {
    BuildRequest(pdu, calling, called, abstractSyntax, StoreAssocSyntaxes(fileSyntax, wantedSyntax));
    return RequestAssociation(pdu, host, port);
}

void AbortAssociation(PDU& pdu, uint8_t source, uint8_t reason) {
    pdu.abort = AbortPDU();
    pdu.abort.source = source;
    pdu.abort.reason = reason;
    LogProgress("A-ABORT sent: " + AbortText(source, reason));
    pdu.abort.Write(pdu.buffer);
    pdu.buffer.Transport().Close();
    pdu.buffer.Clear();
    pdu.data.pendingLength = 0;
}

void AbortForProtocolError(PDU& pdu, uint8_t reason) {
    AbortAssociation(pdu, abort_source::kServiceProvider, reason);
}

}  // namespace pella

uint16_t PDU::NextMessageID() {
    if (++lastMessageID == 0) lastMessageID = 1;
    return lastMessageID;
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
