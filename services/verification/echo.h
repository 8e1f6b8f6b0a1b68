// The Verification service: C-ECHO as requestor, and the response the storage server sends.
#pragma once

#include <string>

#include "data/registry/sop_classes.h"
#include "net/acse/association.h"
#include "net/dimse/dimse_messages.h"

namespace pella {

// Sends a C-ECHO-RQ for the SOP class on the open association.
bool WriteEchoRQ(PDU& pdu, const std::string& sopClassUid);

// Reads the response: true for a C-ECHO-RSP with status 0 (one without a status fails).
bool ReadEchoRSP(PDU& pdu);

// One whole echo: its own association, request, response, release. `calling` may be empty
// (the default title is then used and left in it).
bool EchoSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called);

// Answers a received C-ECHO-RQ with status 0 on its context: the storage server's handler for
// C-ECHO. False (logged) when it could not be sent, or (nothing sent) without an Affected SOP
// Class UID.
bool WriteEchoRSP(PDU& pdu, const ReceivedCommand& request);

}  // namespace pella
