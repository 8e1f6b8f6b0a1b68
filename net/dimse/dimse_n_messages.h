// DIMSE-N requests as a requestor sends them (N-GET, N-CREATE, N-SET, N-ACTION, N-DELETE) and
// the reading of their responses. A request travels on the context proposed for its class, or
// for the abstract syntax the caller names (a meta class whose context carries the class).
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "net/acse/association.h"

namespace pella {

// Each writer sends the command set on the context accepted for `contextSyntax` (empty: for
// `classUID` itself), then the data set when one is given and holds elements (Data Set Type says
// whether one follows). False (logged) when there is no such accepted context or a send fails;
// nothing more is sent after a failed command set.
bool WriteNGetRQ(PDU& pdu, const std::string& instanceUID, const std::string& classUID,
                 const std::string& contextSyntax = "");
// An empty `instanceUID` leaves (0000,1000) out: the peer assigns the instance and names it in
// its response.
bool WriteNCreateRQ(PDU& pdu, const ElementList* dataSet, const std::string& instanceUID,
                    const std::string& classUID, const std::string& contextSyntax = "");
bool WriteNSetRQ(PDU& pdu, const ElementList& dataSet, const std::string& instanceUID,
                 const std::string& classUID, const std::string& contextSyntax = "");
bool WriteNActionRQ(PDU& pdu, const ElementList* dataSet, const std::string& instanceUID,
                    const std::string& classUID, uint16_t actionTypeID,
                    const std::string& contextSyntax = "");
bool WriteNDeleteRQ(PDU& pdu, const std::string& instanceUID, const std::string& classUID,
                    const std::string& contextSyntax = "");

// Reads the response to the last request sent on the association. It is accepted only when it
// came on that request's context, answers its Message ID, carries the expected Command Field
// and has Status 0: warnings fail as errors do, and a response without Status is refused when
// it is read. A response to another context or message aborts the association. A data set the
// response announces is always read (into `dataSet`, or dropped when that is null) so that the
// association stays in step. The Affected SOP Instance UID goes to `instanceUID` when given.
// False, with the reason logged, otherwise.
bool ReadNResponse(PDU& pdu, uint16_t expectedField, ElementList* dataSet, std::string* instanceUID);

bool ReadNGetRSP(PDU& pdu, ElementList* dataSet);
bool ReadNCreateRSP(PDU& pdu, ElementList* dataSet, std::string* instanceUID);
bool ReadNSetRSP(PDU& pdu, ElementList* dataSet);
bool ReadNActionRSP(PDU& pdu, ElementList* dataSet);
bool ReadNDeleteRSP(PDU& pdu);

}  // namespace pella
