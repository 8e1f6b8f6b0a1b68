// A whole C-FIND on an open association with every match handed over as it arrives, so that
// memory stays bounded however many matches come.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/acse/association.h"
#include "services/query/query_records.h"

namespace pella {

using MatchHandler = std::function<void(const void* record)>;

// Sends the identifier of `record` at `level` (any of the four; the record stays the caller's)
// and reads responses until one is not pending. The record of every pending response goes to
// `onMatch` and is freed when it returns; the final response's record (of a failure) is no
// match and is dropped. Returns the final status, or -1 when the request could not be sent or
// no valid response was read.
int32_t FindEach(PDU& pdu, QueryLevel level, const void* record, const std::string& sopClassUid,
                 const MatchHandler& onMatch);

}  // namespace pella
