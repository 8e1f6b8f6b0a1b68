// The acceptor's side of association establishment: read the peer's A-ASSOCIATE-RQ, decide each
// presentation context, answer with an A-ASSOCIATE-AC.
#pragma once

#include <string>

#include "net/association.h"
#include "net/socket_handle.h"

namespace pella {

// True when the abstract syntax is one the server accepts (verification, the storage classes
// of its table and the two study-root query/retrieve models).
bool IsAcceptedSopClass(const std::string& abstractSyntax);

// The transfer syntax chosen for a proposed context among its offered ones; empty when none
// is acceptable. Compressed syntaxes win over uncompressed; big endian is never chosen.
std::string ChooseTransferSyntax(const PresentationContextRQ& proposed);

// Answers the request already read into pdu.request with an A-ASSOCIATE-AC (every context
// decided in the request's order; refused ones with result 4). True when at least one context
// was accepted.
bool BuildAccept(PDU& pdu);

// Takes over an accepted connection, reads the A-ASSOCIATE-RQ and answers it. True when at
// least one context was accepted; otherwise the connection is closed.
bool AcceptAssociation(PDU& pdu, SocketHandle connection);

}  // namespace pella
