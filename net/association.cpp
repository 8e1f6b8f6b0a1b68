#include "net/association.h"

#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/identifiers.h"

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
    for (const auto& context : pdu.accept.presentationContexts) {
        if (context.result != 0) continue;
        pdu.acceptedContexts.push_back(context);
        LogProgress("Presentation Context Accept, Transfer Syntax: " + context.transferSyntax.text);
    }
    if (!pdu.acceptedContexts.empty()) return true;
    LogFailure("Association Accept without an accepted presentation context");
    pdu.buffer.Transport().Close();
    return false;
}

}  // namespace

std::vector<std::string> OpenAssocSyntaxes(const std::string& wanted) {
    std::vector<std::string> syntaxes;
    if (!wanted.empty() && wanted != kImplicitLittleEndian) syntaxes.push_back(wanted);
    syntaxes.push_back(kImplicitLittleEndian);
    return syntaxes;
}

std::vector<std::string> StoreAssocSyntaxes(const std::string& fileSyntax,
                                            const std::string& wantedSyntax) {
    std::vector<std::string> syntaxes;
    if (!wantedSyntax.empty() && wantedSyntax != kImplicitLittleEndian) syntaxes.push_back(wantedSyntax);
    if (!fileSyntax.empty() && fileSyntax != kImplicitLittleEndian && fileSyntax != wantedSyntax)
        syntaxes.push_back(fileSyntax);
    syntaxes.push_back(kImplicitLittleEndian);
    return syntaxes;
}

void BuildRequest(PDU& pdu, std::string& calling, const std::string& called,
                  const std::string& abstractSyntax, const std::vector<std::string>& syntaxes) {
    if (calling.empty()) calling = kDefaultCallingAETitle;
    pdu.request = AssociateRQ();
    pdu.request.SetCallingAETitle(calling);
    pdu.request.SetCalledAETitle(called);
    pdu.request.SetApplicationContext(kApplicationContextName);
    ResetIdentifiers();
    PresentationContextRQ context;
    context.contextID = NextContextID();
    context.SetAbstractSyntax(abstractSyntax);
    for (const auto& syntax : syntaxes) context.AddTransferSyntax(syntax);
    pdu.request.presentationContexts.push_back(std::move(context));
}

bool RequestAssociation(PDU& pdu, const std::string& host, const std::string& port) {
    pdu.data.pendingLength = 0;
    pdu.acceptedContexts.clear();
    pdu.rejected = false;
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
    if (gotType && type == pdu_type::kAssociateRJ) {
        LogFailure("Association Rejected...");
        pdu.rejected = true;
        pdu.reject.Read(pdu.buffer);
        transport.Close();
        return false;
    }
    LogFailure("Corrupt Transmission...");
    transport.Close();
    return false;
}

bool ReleaseAssociation(PDU& pdu) {
    pdu.data.pendingLength = 0;
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

void AbortAssociation(PDU& pdu) {
    pdu.abort.Write(pdu.buffer);
    pdu.buffer.Transport().Close();
    pdu.buffer.Clear();
    pdu.data.pendingLength = 0;
}

}  // namespace pella

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
