// The roles the two sides of an established association took for a SOP class, from the
// requestor's role selection items and the acceptor's answers.
#pragma once

#include <string>

#include "net/acse/association.h"

namespace pella {

struct NegotiatedRoles {
    bool requestorIsUser = true;       // the requestor sends the class's requests
    bool requestorIsProvider = false;  // the requestor answers them (the acceptor sends)
};

// Without a proposed item for the class, or without an answer to it, the default roles (the
// requestor is the user only); otherwise each role the requestor proposed and the acceptor
// accepted.
NegotiatedRoles RolesFor(const AssociateRQ& request, const AssociateAC& accept, const std::string& sopClass);

// The same for an association this side accepted or requested.
NegotiatedRoles RolesFor(const PDU& pdu, const std::string& sopClass);

}  // namespace pella
