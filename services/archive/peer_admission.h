// Who may call the archive, from where, and for which services: the checks of the peers file made
// on each association request (see peers_file.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/acse/acceptor.h"
#include "net/pdu/pdu_items.h"
#include "services/archive/peers_file.h"

namespace pella {

// The service an abstract syntax belongs to: echo (verification), store (a storage class; get
// when `providedForGet`, a class the requestor asked to provide for its C-GET), find, move, get
// (the query and retrieve models), commit (storage commitment); nothing for any other.
std::optional<PeerService> ServiceOf(const std::string& abstractSyntax, bool providedForGet);

// The admission of a request from `callingTitle` at `address` with the role selections `roles`.
// A title not in the file, or one in it calling from an address its HOST does not admit, is
// rejected 1/1/3 (calling AE title not recognised) when `requireKnown`, and otherwise admitted
// with every service. A known peer from its own address gets the contexts of the services its
// entry does not list refused (user rejection).
Admission AdmitPeer(const PeersFile& peers, bool requireKnown, const std::string& callingTitle,
                    const std::string& address, const std::vector<RoleSelection>& roles);

// AdmitPeer for each request a storage server reads; no checks when `peers` is null.
std::function<Admission(const PDU& pdu)> PeerAdmission(std::shared_ptr<const PeersFile> peers,
                                                       bool requireKnown);

}  // namespace pella
