#include "services/query_messages.h"

#include <cstdio>

#include "log/protocol_log.h"
#include "net/command_set.h"
#include "net/dimse.h"
#include "net/identifiers.h"

namespace pella {

namespace {

std::optional<uint16_t> OptionalUS(const ElementList& list, uint16_t element) {
    const DataElement* e = FindElement(list, 0x0000, element);
    if (e == nullptr || e->length < 2) return std::nullopt;
    return static_cast<uint16_t>(e->value[0] | (e->value[1] << 8));
}

}  // namespace

bool IsValidResponse(const QueryResponse& response, uint16_t expectedField, const char* name) {
    if (response.commandField != expectedField) {
        char text[96];
        std::snprintf(text, sizeof text, "Response is not a %s: command field 0x%04X", name,
                      response.commandField);
        LogFailure(text);
        return false;
    }
    if (!response.status) {
        LogFailure(std::string(name) + " without Status: not taken as a success");
        return false;
    }
    return true;
}

bool SendQueryRequest(PDU& pdu, const std::string& sopClassUid, uint16_t commandField,
                      const std::string& moveDestination, const ElementList& identifier) {
    std::string syntax;
    if (AcceptedContextFor(pdu, sopClassUid, syntax) == 0) return false;
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, sopClassUid);
    AppendUS(command, 0x0000, kTagCommandField, commandField);
    AppendUS(command, 0x0000, kTagMessageID, NextMessageID());
    if (commandField == kCMoveRQ) AppendText(command, 0x0000, kTagMoveDestination, moveDestination, "AE");
    AppendUS(command, 0x0000, kTagPriority, 0);
    AppendUS(command, 0x0000, kTagDataSetType, 0x0102);
    PrependCommandGroupLength(command);
    return SendMessage(pdu, command, sopClassUid, kCommandSet) &&
           SendMessage(pdu, identifier, sopClassUid, kDataSet);
}

bool ReadQueryResponse(PDU& pdu, QueryResponse& response, ElementList& identifier) {
    ElementList command;
    if (!ReadMessage(pdu, command)) {
        LogFailure("No response could be read" + (LastFailure().empty() ? "" : ": " + LastFailure()));
        return false;
    }
    response.commandField = GetElementUS(command, 0x0000, kTagCommandField);
    response.status = OptionalUS(command, kTagStatus);
    response.remaining = OptionalUS(command, 0x1020);
    response.completed = OptionalUS(command, 0x1021);
    response.failed = OptionalUS(command, 0x1022);
    response.warning = OptionalUS(command, 0x1023);
    std::optional<uint16_t> dataSetType = OptionalUS(command, kTagDataSetType);
    if (dataSetType && *dataSetType == kNoDataSet) return true;
    if (!ReadMessage(pdu, identifier)) {
        LogFailure("The response's data set could not be read");
        return false;
    }
    std::string syntax;
    FindAcceptedSyntax(pdu, pdu.data.messageContextID, syntax);
    response.explicitVR = syntax != "1.2.840.10008.1.2";
    return true;
}

}  // namespace pella
