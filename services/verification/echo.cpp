#include "services/verification/echo.h"

#include <cstdio>

#include "log/protocol_log.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"

namespace pella {

bool WriteEchoRQ(PDU& pdu, const std::string& sopClassUid) {
    std::string syntax;
    uint8_t contextID = AcceptedContextFor(pdu, sopClassUid, syntax);
    if (contextID == 0) return false;
    DimseCommand request;
    request.commandField = kCEchoRQ;
    request.affectedSopClass = sopClassUid;
    return SendRequest(pdu, contextID, request);
}

bool ReadEchoRSP(PDU& pdu) {
    ReceivedCommand response;
    if (!ReadResponse(pdu, response)) return false;
    uint16_t field = response.command.commandField;
    uint16_t status = response.command.status.value_or(0xFFFF);
    if (field == kCEchoRSP && response.command.status == 0) return true;
    char text[96];
    std::snprintf(text, sizeof text, "C-ECHO failed: command field 0x%04X, status 0x%04X", field, status);
    LogFailure(text);
    return false;
}

bool EchoSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called) {
    PDU pdu;
    bool result = OpenAssoc(pdu, host, port, calling, called, kVerificationSopClass, "") &&
                  WriteEchoRQ(pdu, kVerificationSopClass) && ReadEchoRSP(pdu);
    ReleaseAssociation(pdu);
    return result;
}

bool WriteEchoRSP(PDU& pdu, const ReceivedCommand& request) {
    if (!request.command.affectedSopClass.empty() && SendResponse(pdu, MakeResponse(request, 0x0000)))
        return true;
    LogFailure("C-ECHO-RSP could not be sent");
    return false;
}

}  // namespace pella
