#include "net/acceptor.h"

#include <array>

#include "data/convert/conversion_syntax.h"
#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/identifiers.h"

namespace pella {

namespace {

constexpr const char* kUltrasoundMultiframe = "1.2.840.10008.5.1.4.1.1.3.1";

constexpr std::array<const char*, 20> kAcceptedSopClasses = {
    "1.2.840.10008.1.1",              // Verification
    "1.2.840.10008.5.1.4.1.1.1",      // Computed Radiography
    "1.2.840.10008.5.1.4.1.1.1.1",    // Digital X-Ray, for presentation
    "1.2.840.10008.5.1.4.1.1.1.1.1",  // Digital X-Ray, for processing
    "1.2.840.10008.5.1.4.1.1.1.2",    // Digital Mammography, for presentation
    "1.2.840.10008.5.1.4.1.1.1.2.1",  // Digital Mammography, for processing
    "1.2.840.10008.5.1.4.1.1.2",      // CT
    "1.2.840.10008.5.1.4.1.1.3.1",    // Ultrasound Multi-frame
    "1.2.840.10008.5.1.4.1.1.4",      // MR
    "1.2.840.10008.5.1.4.1.1.6.1",    // Ultrasound
    "1.2.840.10008.5.1.4.1.1.12.1",   // X-Ray Angiographic
    "1.2.840.10008.5.1.4.1.1.12.2",   // X-Ray Radiofluoroscopic
    "1.2.840.10008.5.1.4.1.1.20",     // Nuclear Medicine
    "1.2.840.10008.5.1.4.1.1.128",    // Positron Emission Tomography
    "1.2.840.10008.5.1.4.1.1.88.11",  // Basic Text SR
    "1.2.840.10008.5.1.4.1.1.88.22",  // Enhanced SR
    "1.2.840.10008.5.1.4.1.1.104.1",  // Encapsulated PDF
    "1.2.840.10008.5.1.4.1.2.2.1",    // Study Root Query/Retrieve - FIND
    "1.2.840.10008.5.1.4.1.2.2.2",    // Study Root Query/Retrieve - MOVE
    "1.2.840.10008.5.1.4.1.1.7",      // Secondary Capture
};

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

}  // namespace

bool IsAcceptedSopClass(const std::string& abstractSyntax) {
    for (const char* uid : kAcceptedSopClasses)
        if (abstractSyntax == uid) return true;
    return false;
}

std::string ChooseTransferSyntax(const PresentationContextRQ& proposed) {
    const std::string& abstract = proposed.abstractSyntax.text;
    if (abstract == kUltrasoundMultiframe && Offers(proposed, kJpegBaseline)) return kJpegBaseline;
    for (const char* syntax : {kJpegLossless, kImplicitLittleEndian, kExplicitLittleEndian, kJpegBaseline})
        if (Offers(proposed, syntax)) return syntax;
    return "";
}

bool BuildAccept(PDU& pdu) {
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
        TakeIdentifier();
        answer.contextID = proposed.contextID;
        answer.result = 4;
        answer.SetTransferSyntax("");
        const std::string& abstract = proposed.abstractSyntax.text;
        if (IsAcceptedSopClass(abstract)) {
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
    if (!pdu.acceptedContexts.empty()) SetOurUserInformation(accept.userInformation);
    bool sent = accept.Write(pdu.buffer);
    if (!sent) LogFailure("A-ASSOCIATE-AC could not be sent");
    return sent && !pdu.acceptedContexts.empty();
}

bool AcceptAssociation(PDU& pdu, SocketHandle connection) {
    pdu.buffer.Clear();
    pdu.data.pendingLength = 0;
    pdu.buffer.Transport().Adopt(std::move(connection));
    if (!pdu.request.ReadWithType(pdu.buffer) || pdu.request.pduType != pdu_type::kAssociateRQ) {
        LogFailure("The first PDU was not a readable A-ASSOCIATE-RQ");
        pdu.buffer.Transport().Close();
        return false;
    }
    if (BuildAccept(pdu)) return true;
    pdu.buffer.Transport().Close();
    return false;
}

}  // namespace pella
