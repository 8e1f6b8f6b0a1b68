// The C-FIND and C-MOVE messages as the query services use them: a request with its identifier,
// and one response with the fields the services read and its identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/model/element_list.h"
#include "data/registry/sop_classes.h"
#include "net/acse/association.h"

namespace pella {

struct QueryResponse {
    uint16_t commandField = 0;
    std::optional<uint16_t> status;
    std::optional<uint16_t> remaining, completed, failed, warning;
    bool explicitVR = false;  // the identifier's encoding (defined-length sequences inside it)
};

// Sends a C-FIND-RQ (no destination) or C-MOVE-RQ (`moveDestination` set), priority medium,
// and the identifier as its data set, on the context accepted for the SOP class.
bool SendQueryRequest(PDU& pdu, const std::string& sopClassUid, uint16_t commandField,
                      const std::string& moveDestination, const ElementList& identifier);

// Reads one response command and, when it announces one, its data set into `identifier`.
// False (logged) when no message could be read; a response without Status is read as such
// (status empty) for the caller to refuse.
bool ReadQueryResponse(PDU& pdu, QueryResponse& response, ElementList& identifier);

// True for a response of `expectedField` that carries a Status; otherwise logs why (a response
// without Status never reads as a success).
bool IsValidResponse(const QueryResponse& response, uint16_t expectedField, const char* name);

}  // namespace pella
