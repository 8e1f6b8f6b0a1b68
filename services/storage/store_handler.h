// The storage server's C-STORE handler: receives the data set a C-STORE-RQ announces straight
// into a staged file as its fragments arrive, files it (Part 10 file plus index lines) and
// answers with the status of the filing.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "data/registry/dimse_statuses.h"
#include "net/acse/association.h"
#include "net/dimse/dimse_messages.h"
#include "services/storage/request_handlers.h"
#include "services/storage/store_server.h"

namespace pella {

// The server answers C-STORE with kStatusSuccess, kStatusOutOfResources (the object could not
// be written or indexed, or the disk was already at its free-space reserve) or
// kStatusCannotUnderstand (its UIDs cannot name a file, or its data set ends inside an open
// sequence or item). A data set that cannot be decoded, an object past config.maxObjectBytes
// and free space falling under config.minFreeBytes while it arrives abort the association;
// nothing of the object stays on disk then.

// Registers the C-STORE handler for every storage class, filing as `config` says (the config
// must outlive `handlers`).
void AddStoreHandler(RequestHandlers& handlers, const StoreServerConfig& config);

// Sends the C-STORE-RSP for a request with the given status on the request's context; false
// without an Affected SOP Class UID in the request (nothing is sent then).
bool SendStoreResponse(PDU& pdu, const ReceivedCommand& request, uint16_t status);

// Files a data set held in memory (encoded in `transferSyntax`) as a received one is filed:
// the same writing, checks and status, without the disk bounds.
uint16_t StoreReceivedObject(const StoreServerConfig& config, const std::string& transferSyntax,
                             const ElementList& dataSet);

}  // namespace pella
