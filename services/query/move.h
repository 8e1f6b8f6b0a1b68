// The C-MOVE user in the Study Root model: asks an archive to send objects to a destination.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/acse/association.h"
#include "services/query/query_records.h"

namespace pella {

// The sub-operation counts a C-MOVE-RSP carries (-1 where it carries none).
struct MoveCounts {
    int32_t remaining = -1, completed = -1, failed = -1, warning = -1;
};

// Builds the level's identifier from the record in slot 0, frees that record and sets the slot
// to NULL, and sends the C-MOVE-RQ. A level other than STUDY, SERIES or IMAGE, or a destination
// that is empty or longer than 16 characters, is refused before anything is freed or sent.
bool WriteMoveRQ(PDU& pdu, QueryRecordList& list, const std::string& sopClassUid, const char* level,
                 const std::string& moveDestination);

// Reads one response: its status, or -1 when none could be read, it is not a C-MOVE-RSP, it
// carries no Status, or its data set could not be read. `counts` gets the response's counts
// (all -1 for a message that is not a C-MOVE-RSP; untouched when nothing could be read).
int32_t ReadMoveRSP(PDU& pdu, MoveCounts& counts);

// Association, request, responses while pending, release. True when the final status is 0.
bool MoveSCU(const std::string& host, const std::string& port, std::string& calling,
             const std::string& called, const std::string& moveDestination, const char* level,
             QueryRecordList& list);

}  // namespace pella
