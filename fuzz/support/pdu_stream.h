// Reads a stream of PDUs the way one side of an association meets them: every PDU type that
// side reads goes through the library's record reader for it, until a read fails, a PDU the
// side never reads arrives, or the input ends.
#pragma once

#include "net/association.h"

namespace pella_fuzz {

enum class Role { kAcceptor, kRequestor };

// Reads from `pdu.buffer` (fed with AppendInput). The acceptor decides on each A-ASSOCIATE-RQ
// it reads (the answer goes nowhere: the buffer has no connection); the requestor keeps the
// accepted contexts of each A-ASSOCIATE-AC. Returns how many PDUs were read whole.
int ReadPduStream(PDU& pdu, Role role);

// Sets the buffer to big-endian PDU order and appends `data` to its input as if received. Reads
// past it go to the transport: with none, or a closed peer, they fail at once.
void FeedInput(PDU& pdu, const uint8_t* data, std::size_t size);

}  // namespace pella_fuzz
