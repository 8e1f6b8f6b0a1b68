// Reads a stream of PDUs the way one side of an association meets them: every PDU type that
// side reads goes through the library's record reader for it, until a read fails, a PDU the
// side never reads arrives, or the input ends.
#pragma once

#include "support/fed_pdu.h"

namespace pella_fuzz {

enum class Role { kAcceptor, kRequestor };

// The acceptor answers each A-ASSOCIATE-RQ it reads, and its answer must read back as an
// A-ASSOCIATE-AC that decides every proposed context with a syntax that was offered (aborts
// otherwise); the requestor keeps the accepted contexts of each A-ASSOCIATE-AC. Returns how
// many PDUs were read whole.
int ReadPduStream(FedPdu& fed, Role role);

}  // namespace pella_fuzz
