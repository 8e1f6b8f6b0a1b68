#include "services/echo.h"

#include <cstdio>

#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/command_set.h"
#include "net/dimse.h"
#include "net/identifiers.h"

namespace pella {

bool WriteEchoRQ(PDU& pdu, const std::string& sopClassUid) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, sopClassUid);
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRQ);
    AppendUS(command, 0x0000, kTagMessageID, NextMessageID());
    AppendUS(command, 0x0000, kTagDataSetType, kNoDataSet);
    PrependCommandGroupLength(command);
    return SendMessage(pdu, command, sopClassUid, kCommandSet);
}

bool ReadEchoRSP(PDU& pdu) {
    ElementList response;
    if (!ReadMessage(pdu, response)) return false;
    uint16_t field = GetElementUS(response, 0x0000, kTagCommandField);
    uint16_t status = GetElementUS(response, 0x0000, kTagStatus);
    if (field == kCEchoRSP && status == 0) return true;
    char text[96];
    std::snprintf(text, sizeof text, "C-ECHO failed: command field 0x%04X, status 0x%04X", field,
                  status);
    LogFailure(text);
    return false;
}

bool EchoSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called) {
    PDU pdu;
    if (LogLevel() > 1) pdu.dumpFlag = true;
    bool result = OpenAssoc(pdu, host, port, calling, called, kVerificationSopClass, "") &&
                  WriteEchoRQ(pdu, kVerificationSopClass) && ReadEchoRSP(pdu);
    ReleaseAssociation(pdu);
    return result;
}

bool WriteEchoRSP(PDU& pdu, const ElementList& request) {
    const DataElement* affected = FindElement(request, 0x0000, kTagAffectedSopClass);
    if (affected == nullptr || !HasValue(*affected)) return false;
    std::string uid = UidText(affected->value, affected->length);
    ElementList response;
    AppendUI(response, 0x0000, kTagAffectedSopClass, uid);
    AppendUS(response, 0x0000, kTagCommandField, kCEchoRSP);
    AppendUS(response, 0x0000, kTagMessageIDRespondedTo, GetElementUS(request, 0x0000, kTagMessageID));
    AppendUS(response, 0x0000, kTagDataSetType, GetElementUS(request, 0x0000, kTagDataSetType));
    AppendUS(response, 0x0000, kTagStatus, 0x0000);
    PrependCommandGroupLength(response);
    return SendMessage(pdu, response, uid, kCommandSet);
}

}  // namespace pella
