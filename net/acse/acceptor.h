// The acceptor's side of association establishment: read the peer's A-ASSOCIATE-RQ, reject it
// or decide each presentation context, answer with an A-ASSOCIATE-AC or -RJ.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "net/acse/association.h"
#include "net/acse/association_failures.h"
#include "net/acse/negotiation.h"
#include "net/transport/socket_handle.h"
#include "net/transport/tls_context.h"

namespace pella {

// The server's verdict on who asks (its calling title, address and user identity), made once
// the request has been read.
struct Admission {
    uint8_t rejectReason = 0;  // A-ASSOCIATE-RJ 1/1/reason when not 0
    // The served abstract syntaxes refused to this requestor (result 1); unset: none.
    std::function<bool(const std::string& abstractSyntax)> refusedFor;
    bool confirmIdentity = false;  // the A-ASSOCIATE-AC carries the user identity response
};

// What the acceptor serves and checks.
struct AcceptorPolicy {
    std::string aeTitle;                // this server's AE title
    bool requireCalledAETitle = false;  // reject requests whose called title is not aeTitle
    ServingPolicy serving;              // the contexts served (given by the service)
    // Decides on the requestor after the checks of RejectionReason passed; unset: all admitted.
    std::function<Admission(const PDU& pdu)> admit;
    bool confirmIdentity = false;  // the answer confirms the user identity (from the admission)
    // Connections must open a TLS session with this server context first; null: plain TCP.
    std::shared_ptr<const TlsContext> tls;
};

// The reason to reject the request already read into pdu.request (A-ASSOCIATE-RJ, source 1);
// 0 when it is not rejected: 7 for a called title other than ours when the policy requires
// it, 2 for a missing or unknown application context name, 1 for a request without contexts.
uint8_t RejectionReason(const PDU& pdu, const AcceptorPolicy& policy);

// Answers the request already read into pdu.request with an A-ASSOCIATE-AC (every context
// decided by NegotiateContexts, in the request's order) carrying our own user information, when
// the association awaits the local answer (Sta3). True when at least one context was accepted
// and the answer went.
bool BuildAccept(PDU& pdu, const AcceptorPolicy& policy = {});

// Takes over an accepted connection, runs the TLS handshake when the policy asks for it (within
// the transport's time limit, like the request; a failed one is logged and closes the
// connection), reads the A-ASSOCIATE-RQ and answers it. True when at
// least one context was accepted. Otherwise false with the connection closed: a first PDU that
// is not a readable request gets the A-ABORT of the transition table; an answer that accepted
// no context is followed by a wait (within the transport's time limit) for the peer's release,
// which is answered, or abort.
bool AcceptAssociation(PDU& pdu, SocketHandle connection, const AcceptorPolicy& policy = {});

}  // namespace pella
