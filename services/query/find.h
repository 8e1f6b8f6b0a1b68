// The C-FIND user in the Study Root model at study, series and image level.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "data/registry/dimse_statuses.h"
#include "net/acse/association.h"
#include "services/query/query_records.h"

namespace pella {

constexpr int32_t kNoResponse = -1;

// Sends a C-FIND-RQ with the identifier as its data set.
bool SendFindRequest(PDU& pdu, const ElementList& identifier, const std::string& sopClassUid);

// Reads one response: its status, or -1 (logged) when none could be read, it is not a
// C-FIND-RSP, or it carries no Status. The identifier goes to `identifier`; `explicitVR` tells
// its encoding.
int32_t ReadFindResponse(PDU& pdu, ElementList& identifier, bool& explicitVR);

// Reads one response and, for a status other than 0 and -1, builds a record of the level from
// its identifier into `record` (null otherwise; the caller frees it). A failure status is
// logged. An identifier that cannot be decoded gives -1 and no record.
int32_t ReadFindResult(PDU& pdu, QueryLevel level, void*& record);

// Builds the level's identifier from the record in slot 0, frees that record and sets the slot
// to NULL, and sends the request. A level other than STUDY, SERIES or IMAGE is refused before
// anything is built, freed or sent.
bool WriteFindRQ(PDU& pdu, QueryRecordList& list, const std::string& sopClassUid, const char* level);

// Reads one response; for a status other than 0 and -1 appends a record of the level built from
// its identifier. An identifier that cannot be decoded gives -1 and no record.
int32_t ReadFindRSP(PDU& pdu, QueryRecordList& list, const char* level);

// Association, request, responses until the last, release. 1 when a response had status 0.
bool FindSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called, const char* level, QueryRecordList& list);

}  // namespace pella
