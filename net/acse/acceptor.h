// The acceptor's side of association establishment: read the peer's A-ASSOCIATE-RQ, reject it
// or decide each presentation context, answer with an A-ASSOCIATE-AC or -RJ.
#pragma once

#include <string>

#include "net/acse/association.h"
#include "net/acse/association_failures.h"
#include "net/transport/socket_handle.h"

namespace pella {

// What the acceptor checks beyond the presentation contexts.
struct AcceptorPolicy {
    std::string aeTitle;               // this server's AE title
    bool requireCalledAETitle = false; // reject requests whose called title is not aeTitle
    // Every storage class of the standard, or only the classes the registry marks as served.
    bool allStorageClasses = false;
};

// True when the policy serves the abstract syntax: Verification, and the storage classes it
// takes.
bool ServesAbstractSyntax(const AcceptorPolicy& policy, const std::string& abstractSyntax);

// The transfer syntax chosen for a proposed context among its offered ones; empty when none
// is acceptable. Compressed syntaxes win over uncompressed; big endian is never chosen.
std::string ChooseTransferSyntax(const PresentationContextRQ& proposed);

// The reason to reject the request already read into pdu.request (A-ASSOCIATE-RJ, source 1);
// 0 when it is not rejected: 7 for a called title other than ours when the policy requires
// it, 2 for a missing or unknown application context name, 1 for a request without contexts.
uint8_t RejectionReason(const PDU& pdu, const AcceptorPolicy& policy);

// Answers the request already read into pdu.request with an A-ASSOCIATE-AC (every context
// decided in the request's order: 0 accepted, 3 abstract syntax not served, 4 no transfer
// syntax supported). True when at least one context was accepted.
bool BuildAccept(PDU& pdu, const AcceptorPolicy& policy = {});

// Takes over an accepted connection, reads the A-ASSOCIATE-RQ and answers it. True when at
// least one context was accepted; otherwise the connection is closed (after an A-ABORT when
// the first PDU was not a readable request).
bool AcceptAssociation(PDU& pdu, SocketHandle connection, const AcceptorPolicy& policy = {});

// Takes over a connection, reads its A-ASSOCIATE-RQ and answers it with an A-ASSOCIATE-RJ of
// the given result, source and reason (a server over its limit). True when the rejection went.
bool RejectAssociation(PDU& pdu, SocketHandle connection, const Rejection& rejection);

}  // namespace pella
