#include "net/dimse/dimse_n_messages.h"

#include <cstdio>

#include "data/registry/dimse_statuses.h"
#include "log/protocol_log.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"

namespace pella {

namespace {

const char* ServiceName(uint16_t field) {
    switch (field & 0x7FFF) {
        case kNGetRQ:
            return "N-GET";
        case kNSetRQ:
            return "N-SET";
        case kNActionRQ:
            return "N-ACTION";
        case kNCreateRQ:
            return "N-CREATE";
        case kNDeleteRQ:
            return "N-DELETE";
        default:
            return "DIMSE";
    }
}

bool HasElements(const ElementList* dataSet) {
    return dataSet != nullptr && !dataSet->empty();
}

// Sends `request` on the context accepted for `contextSyntax` (empty: its class), with the data
// set when it holds any.
bool SendNRequest(PDU& pdu, DimseCommand& request, const std::string& classUID,
                  const std::string& contextSyntax, const ElementList* dataSet) {
    std::string syntax;
    uint8_t contextID = AcceptedContextFor(pdu, contextSyntax.empty() ? classUID : contextSyntax, syntax);
    if (contextID == 0) return false;
    if (SendRequest(pdu, contextID, request, HasElements(dataSet) ? dataSet : nullptr)) return true;
    LogFailure(std::string(ServiceName(request.commandField)) + " request could not be sent");
    return false;
}

// N-GET, N-SET, N-ACTION and N-DELETE name their instance as the requested one.
DimseCommand RequestedCommand(uint16_t field, const std::string& instanceUID, const std::string& classUID) {
    DimseCommand request;
    request.commandField = field;
    request.requestedSopClass = classUID;
    request.requestedSopInstance = instanceUID;
    return request;
}

bool AcceptedOutcome(const DimseCommand& c, uint16_t expectedField) {
    char text[128];
    if (c.commandField != expectedField) {
        std::snprintf(text, sizeof text, "Expected a %s-RSP (0x%04X), received command 0x%04X",
                      ServiceName(expectedField), expectedField, c.commandField);
        LogFailure(text);
        return false;
    }
    uint16_t status = c.status.value_or(0xFFFF);
    if (status == 0) return true;
    bool warning = IsWarningStatus(status);
    std::snprintf(text, sizeof text, "%s-RSP status 0x%04X (%s)", ServiceName(expectedField), status,
                  warning ? "warning" : "failure");
    LogFailure(text);
    return false;
}

}  // namespace

bool WriteNGetRQ(PDU& pdu, const std::string& instanceUID, const std::string& classUID,
                 const std::string& contextSyntax) {
    DimseCommand request = RequestedCommand(kNGetRQ, instanceUID, classUID);
    return SendNRequest(pdu, request, classUID, contextSyntax, nullptr);
}

bool WriteNCreateRQ(PDU& pdu, const ElementList* dataSet, const std::string& instanceUID,
                    const std::string& classUID, const std::string& contextSyntax) {
    DimseCommand request;
    request.commandField = kNCreateRQ;
    request.affectedSopClass = classUID;
    request.affectedSopInstance = instanceUID;
    return SendNRequest(pdu, request, classUID, contextSyntax, dataSet);
}

bool WriteNSetRQ(PDU& pdu, const ElementList& dataSet, const std::string& instanceUID,
                 const std::string& classUID, const std::string& contextSyntax) {
    DimseCommand request = RequestedCommand(kNSetRQ, instanceUID, classUID);
    return SendNRequest(pdu, request, classUID, contextSyntax, &dataSet);
}

bool WriteNActionRQ(PDU& pdu, const ElementList* dataSet, const std::string& instanceUID,
                    const std::string& classUID, uint16_t actionTypeID, const std::string& contextSyntax) {
    DimseCommand request = RequestedCommand(kNActionRQ, instanceUID, classUID);
    request.actionTypeID = actionTypeID;
    return SendNRequest(pdu, request, classUID, contextSyntax, dataSet);
}

bool WriteNDeleteRQ(PDU& pdu, const std::string& instanceUID, const std::string& classUID,
                    const std::string& contextSyntax) {
    DimseCommand request = RequestedCommand(kNDeleteRQ, instanceUID, classUID);
    return SendNRequest(pdu, request, classUID, contextSyntax, nullptr);
}

bool ReadNResponse(PDU& pdu, uint16_t expectedField, ElementList* dataSet, std::string* instanceUID) {
    ReceivedCommand received;
    if (!ReadResponse(pdu, received)) {
        std::string why = LastFailure();
        LogFailure(std::string("No ") + ServiceName(expectedField) + "-RSP could be read" +
                   (why.empty() ? "" : ": " + why));
        return false;
    }
    if (received.command.HasDataSet()) {
        ElementList dropped;
        if (!ReadDataSet(pdu, dataSet != nullptr ? *dataSet : dropped)) {
            LogFailure(std::string("The ") + ServiceName(expectedField) + "-RSP data set could not be read");
            return false;
        }
    }
    if (!AcceptedOutcome(received.command, expectedField)) return false;
    if (instanceUID != nullptr) *instanceUID = received.command.affectedSopInstance;
    return true;
}

bool ReadNGetRSP(PDU& pdu, ElementList* dataSet) {
    return ReadNResponse(pdu, kNGetRSP, dataSet, nullptr);
}

bool ReadNCreateRSP(PDU& pdu, ElementList* dataSet, std::string* instanceUID) {
    return ReadNResponse(pdu, kNCreateRSP, dataSet, instanceUID);
}

bool ReadNSetRSP(PDU& pdu, ElementList* dataSet) {
    return ReadNResponse(pdu, kNSetRSP, dataSet, nullptr);
}

bool ReadNActionRSP(PDU& pdu, ElementList* dataSet) {
    return ReadNResponse(pdu, kNActionRSP, dataSet, nullptr);
}

bool ReadNDeleteRSP(PDU& pdu) {
    return ReadNResponse(pdu, kNDeleteRSP, nullptr, nullptr);
}

}  // namespace pella
