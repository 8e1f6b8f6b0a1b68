// The storage server's verdict on a requestor once its A-ASSOCIATE-RQ is read: the peer's own
// checks (config.admitPeer), then its user identity against config.users.
#pragma once

#include <string>

#include "net/acse/acceptor.h"
#include "services/storage/store_server.h"

namespace pella {

// The admission of the request in pdu.request. `user` becomes the admitted user's name (empty
// when none was). A request without an admitted identity is rejected 1/1/1 when config.requireUser;
// otherwise it goes on without a user. An admitted identity that asked for a positive response
// gets it.
Admission AdmitRequest(const StoreServerConfig& config, const PDU& pdu, std::string& user);

}  // namespace pella
