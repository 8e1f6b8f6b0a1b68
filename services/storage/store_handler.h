// The storage server's C-STORE handler: reads the data set a C-STORE-RQ announces, files it
// (Part 10 file plus index lines) and answers with the status of the filing.
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
// be written or indexed) or kStatusCannotUnderstand (its UIDs cannot name a file).

// Registers the C-STORE handler for every storage class, filing as `config` says (the config
// must outlive `handlers`).
void AddStoreHandler(RequestHandlers& handlers, const StoreServerConfig& config);

// Reads the data set announced by a C-STORE-RQ command.
bool ReadStoreRequestDataset(PDU& pdu, const ReceivedCommand& request, ElementList& dataSet);

// Sends the C-STORE-RSP for a request with the given status on the request's context; false
// without an Affected SOP Class UID in the request (nothing is sent then).
bool SendStoreResponse(PDU& pdu, const ReceivedCommand& request, uint16_t status);

// Files a received data set (encoded in `transferSyntax`) below the storage folder and in the
// index; returns the status to answer with. File meta elements (group 0002) in the data set are
// dropped first: the file gets its own meta header. A data set that ends inside an open
// sequence or item is refused.
uint16_t StoreReceivedObject(const StoreServerConfig& config, const std::string& transferSyntax,
                             ElementList& dataSet);

}  // namespace pella
