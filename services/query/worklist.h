// The modality worklist query (C-FIND in the Modality Worklist Information Model).
#pragma once

#include <cstdint>
#include <string>

#include "net/acse/association.h"
#include "services/query/query_records.h"

namespace pella {

// Sends the worklist identifier built from the worklist record in slot 0. The record
// stays the caller's.
bool WriteWLFindRQ(PDU& pdu, const QueryRecordList& list, const std::string& sopClassUid);

// Reads one response; for a status other than 0 and -1 appends a worklist record.
int32_t ReadWLFindRSP(PDU& pdu, QueryRecordList& list);

}  // namespace pella
