// The Verification service: C-ECHO as requestor, and the response the storage server sends.
#pragma once

#include <string>

#include "data/model/element_list.h"
#include "net/association.h"

namespace pella {

constexpr const char* kVerificationSopClass = "1.2.840.10008.1.1";

// Sends a C-ECHO-RQ for the SOP class on the open association.
bool WriteEchoRQ(PDU& pdu, const std::string& sopClassUid);

// Reads the response: true for a C-ECHO-RSP with status 0 (a missing status reads as 0).
bool ReadEchoRSP(PDU& pdu);

// One whole echo: its own association, request, response, release. `calling` may be empty
// (the default title is then used and left in it).
bool EchoSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called);

// Answers a received C-ECHO-RQ with status 0; false (nothing sent) without an Affected SOP
// Class UID.
bool WriteEchoRSP(PDU& pdu, const ElementList& request);

}  // namespace pella
