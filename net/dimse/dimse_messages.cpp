#include "net/dimse/dimse_messages.h"

#include <chrono>

#include <cstdio>

#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/dimse/dimse.h"

namespace pella {

namespace {

void AppendOptional(ElementList& list, uint16_t tag, const std::optional<uint16_t>& value) {
    if (value) AppendUS(list, 0x0000, tag, *value);
}

void AppendUid(ElementList& list, uint16_t tag, const std::string& uid) {
    if (!uid.empty()) AppendUI(list, 0x0000, tag, uid);
}

std::optional<uint16_t> OptionalUS(const ElementList& list, uint16_t tag) {
    const DataElement* e = FindElement(list, 0x0000, tag);
    if (e == nullptr || e->length < 2 || !HasValue(*e)) return std::nullopt;
    return static_cast<uint16_t>(e->value[0] | (e->value[1] << 8));
}

std::string Uid(const ElementList& list, uint16_t tag) {
    const DataElement* e = FindElement(list, 0x0000, tag);
    return e != nullptr && HasValue(*e) ? UidText(e->value, e->length) : "";
}

std::string Hex(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

ElementList EncodeCommand(const DimseCommand& c) {
    ElementList list;
    AppendUid(list, kTagAffectedSopClass, c.affectedSopClass);
    AppendUid(list, kTagRequestedSopClass, c.requestedSopClass);
    AppendUS(list, 0x0000, kTagCommandField, c.commandField);
    AppendOptional(list, kTagMessageID, c.messageID);
    AppendOptional(list, kTagMessageIDRespondedTo, c.respondedTo);
    if (!c.moveDestination.empty()) AppendText(list, 0x0000, kTagMoveDestination, c.moveDestination, "AE");
    AppendOptional(list, kTagPriority, c.priority);
    AppendUS(list, 0x0000, kTagDataSetType, c.dataSetType);
    AppendOptional(list, kTagStatus, c.status);
    AppendUid(list, kTagAffectedSopInstance, c.affectedSopInstance);
    AppendUid(list, kTagRequestedSopInstance, c.requestedSopInstance);
    AppendOptional(list, kTagEventTypeID, c.eventTypeID);
    AppendOptional(list, kTagActionTypeID, c.actionTypeID);
    AppendOptional(list, 0x1020, c.remaining);
    AppendOptional(list, 0x1021, c.completed);
    AppendOptional(list, 0x1022, c.failed);
    AppendOptional(list, 0x1023, c.warning);
    if (!c.moveOriginator.empty()) AppendText(list, 0x0000, kTagMoveOriginator, c.moveOriginator, "AE");
    AppendOptional(list, kTagMoveOriginatorMessageID, c.moveOriginatorMessageID);
    PrependCommandGroupLength(list);
    return list;
}

bool DecodeCommand(const ElementList& list, DimseCommand& c, std::string& why) {
    c = DimseCommand();
    std::optional<uint16_t> field = OptionalUS(list, kTagCommandField);
    std::optional<uint16_t> dataSetType = OptionalUS(list, kTagDataSetType);
    if (!field) {
        why = "Command set without Command Field";
        return false;
    }
    if (!dataSetType) {
        why = "Command " + Hex(*field) + " without Data Set Type";
        return false;
    }
    c.commandField = *field;
    c.dataSetType = *dataSetType;
    c.affectedSopClass = Uid(list, kTagAffectedSopClass);
    c.requestedSopClass = Uid(list, kTagRequestedSopClass);
    c.messageID = OptionalUS(list, kTagMessageID);
    c.respondedTo = OptionalUS(list, kTagMessageIDRespondedTo);
    c.moveDestination = GetElementText(list, 0x0000, kTagMoveDestination);
    c.priority = OptionalUS(list, kTagPriority);
    c.status = OptionalUS(list, kTagStatus);
    c.affectedSopInstance = Uid(list, kTagAffectedSopInstance);
    c.requestedSopInstance = Uid(list, kTagRequestedSopInstance);
    c.eventTypeID = OptionalUS(list, kTagEventTypeID);
    c.actionTypeID = OptionalUS(list, kTagActionTypeID);
    c.moveOriginator = GetElementText(list, 0x0000, kTagMoveOriginator);
    c.moveOriginatorMessageID = OptionalUS(list, kTagMoveOriginatorMessageID);
    c.remaining = OptionalUS(list, 0x1020);
    c.completed = OptionalUS(list, 0x1021);
    c.failed = OptionalUS(list, 0x1022);
    c.warning = OptionalUS(list, 0x1023);
    if (c.IsResponse() && !c.status) {
        why = "Response " + Hex(c.commandField) + " without Status";
        return false;
    }
    if (!c.IsResponse() && !c.messageID) {
        why = "Request " + Hex(c.commandField) + " without Message ID";
        return false;
    }
    return true;
}

DimseResponse MakeResponse(const ReceivedCommand& request, uint16_t status) {
    DimseResponse response;
    response.contextID_ = request.contextID;
    response.respondedTo_ = request.command.messageID.value_or(0);
    DimseCommand& c = response.command;
    c.commandField = static_cast<uint16_t>(request.command.commandField | 0x8000);
    c.affectedSopClass = request.command.affectedSopClass;
    c.affectedSopInstance = request.command.affectedSopInstance;
    c.respondedTo = response.respondedTo_;
    c.dataSetType = kNoDataSet;
    c.status = status;
    return response;
}

bool SendRequest(PDU& pdu, uint8_t contextID, DimseCommand& request, const ElementList* dataSet,
                 const FileTail* tail) {
    request.messageID = pdu.NextMessageID();
    pdu.lastRequestContextID = contextID;
    pdu.responsesToLastRequest = 0;
    request.dataSetType = dataSet != nullptr ? kDataSetFollows : kNoDataSet;
    if (!SendUnit(pdu, EncodeCommand(request), contextID, kCommandSet)) return false;
    return dataSet == nullptr || SendUnitWithTail(pdu, *dataSet, contextID, kDataSet, tail);
}

bool SendResponse(PDU& pdu, const DimseResponse& response, const ElementList* dataSet) {
    DimseCommand command = response.command;
    command.respondedTo = response.RespondedTo();  // whatever the caller changed
    command.dataSetType = dataSet != nullptr ? kDataSetFollows : kNoDataSet;
    if (!SendUnit(pdu, EncodeCommand(command), response.ContextID(), kCommandSet)) return false;
    return dataSet == nullptr || SendUnit(pdu, *dataSet, response.ContextID(), kDataSet);
}

bool ReadCommand(PDU& pdu, ReceivedCommand& received) {
    ElementList list;
    if (!ReadMessage(pdu, list)) return false;
    received.contextID = pdu.data.messageContextID;
    std::string why;
    if (DecodeCommand(list, received.command, why)) return true;
    LogFailure(why + ": association aborted");
    AbortAssociation(pdu);
    return false;
}

bool ReadResponse(PDU& pdu, ReceivedCommand& received) {
    // The whole response, its data set included, must arrive within the time limit, however
    // slowly the peer sends it; the data set's read (ReadDataSet) runs under the same deadline.
    TcpTransport& transport = pdu.buffer.Transport();
    transport.SetDeadline(std::chrono::steady_clock::now() +
                          std::chrono::seconds(transport.TimeoutSeconds()));
    if (!ReadCommand(pdu, received)) return false;
    const DimseCommand& c = received.command;
    if (received.contextID == pdu.lastRequestContextID && c.respondedTo == pdu.lastMessageID) {
        ++pdu.responsesToLastRequest;
        return true;
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "Response 0x%04X on context %u to message %d does not answer message %u on "
                  "context %u: association aborted",
                  c.commandField, unsigned(received.contextID), c.respondedTo ? int(*c.respondedTo) : -1,
                  unsigned(pdu.lastMessageID), unsigned(pdu.lastRequestContextID));
    LogFailure(text);
    AbortAssociation(pdu);
    return false;
}

bool ReadDataSet(PDU& pdu, ElementList& dataSet) {
    return ReadMessage(pdu, dataSet);
}

}  // namespace pella
