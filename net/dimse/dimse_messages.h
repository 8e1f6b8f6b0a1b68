// Typed DIMSE messages: the command sets of C-ECHO, C-STORE, C-FIND, C-MOVE and the N-services
// as one record, built into and read from element lists, and sent or received on an
// association. A response is made from the request it answers, so it always goes on the
// request's presentation context and names the request's message ID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/model/element_list.h"
#include "net/acse/association.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"

namespace pella {

struct DimseCommand {
    uint16_t commandField = 0;
    std::string affectedSopClass;                                   // (0000,0002)
    std::string requestedSopClass;                                  // (0000,0003)
    std::optional<uint16_t> messageID;                              // (0000,0110), requests
    std::optional<uint16_t> respondedTo;                            // (0000,0120), responses
    std::string moveDestination;                                    // (0000,0600)
    std::optional<uint16_t> priority;                               // (0000,0700)
    uint16_t dataSetType = kNoDataSet;                              // (0000,0800)
    std::optional<uint16_t> status;                                 // (0000,0900), responses
    std::string affectedSopInstance;                                // (0000,1000)
    std::string requestedSopInstance;                               // (0000,1001)
    std::optional<uint16_t> eventTypeID;                            // (0000,1002), N-EVENT-REPORT
    std::optional<uint16_t> actionTypeID;                           // (0000,1008), N-ACTION
    std::optional<uint16_t> remaining, completed, failed, warning;  // (0000,1020) to (0000,1023)
    std::string moveOriginator;                                     // (0000,1030), a move's C-STORE
    std::optional<uint16_t> moveOriginatorMessageID;                // (0000,1031)

    bool IsResponse() const { return (commandField & 0x8000) != 0; }
    bool HasDataSet() const { return dataSetType != kNoDataSet; }
};

// The command set as elements in tag order, Command Group Length first.
ElementList EncodeCommand(const DimseCommand& command);

// Reads a received command set. False, with `why`, without Command Field, without Data Set
// Type, or for a response without Status (a response that does not say it succeeded).
bool DecodeCommand(const ElementList& list, DimseCommand& command, std::string& why);

// A command received on an association, with the context it came on.
struct ReceivedCommand {
    DimseCommand command;
    uint8_t contextID = 0;
};

// A response to a received request: only MakeResponse makes one.
class DimseResponse {
public:
    DimseCommand command;  // field, class, IDs set from the request; the caller may add detail
    uint8_t ContextID() const { return contextID_; }
    uint16_t RespondedTo() const { return respondedTo_; }

private:
    friend DimseResponse MakeResponse(const ReceivedCommand& request, uint16_t status);
    uint8_t contextID_ = 0;
    uint16_t respondedTo_ = 0;
};

// The response to `request` with `status`: Command Field with the response bit, the request's
// Affected SOP Class (and Instance) UID, Message ID Being Responded To = its Message ID, no
// data set, on its context.
DimseResponse MakeResponse(const ReceivedCommand& request, uint16_t status);

// Sends a request on an accepted context: its Message ID is drawn from the association and
// kept there with the context (PDU::lastRequestContextID), so that the response can be
// matched. With a data set, the data set follows on the same context, continued from `tail`
// when given (SendDataSetWithTail). False (logged) on failure.
bool SendRequest(PDU& pdu, uint8_t contextID, DimseCommand& request, const ElementList* dataSet = nullptr,
                 const FileTail* tail = nullptr);

// Sends a response on its request's context.
bool SendResponse(PDU& pdu, const DimseResponse& response, const ElementList* dataSet = nullptr);

// Reads the next command. False when none could be read or it does not decode (logged; an
// undecodable command aborts the association).
bool ReadCommand(PDU& pdu, ReceivedCommand& received);

// Reads the response to the last request sent (ReadCommand, then the match): one on another
// context, or naming another message, leaves the association out of step and aborts it.
bool ReadResponse(PDU& pdu, ReceivedCommand& received);

// Reads the data set a received command announced (same context, enforced by ReadMessage).
bool ReadDataSet(PDU& pdu, ElementList& dataSet);

}  // namespace pella
