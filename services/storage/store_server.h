// The storage server: listens on a port, serves one association at a time, answers C-ECHO and
// C-STORE, and files every received object (Part 10 file plus index lines) before it answers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "data/model/element_list.h"
#include "data/registry/dimse_statuses.h"
#include "net/acse/association.h"
#include "net/dimse/dimse_messages.h"
#include "net/pdu/pdu_limits.h"
#include "net/transport/socket_handle.h"
#include "net/transport/transport.h"
#include "services/storage/association_workers.h"

namespace pella {

constexpr const char* kDefaultDatabaseRoot = "./Database";

// The server answers C-STORE with kStatusSuccess, kStatusOutOfResources (the object could not
// be written or indexed) or kStatusCannotUnderstand (its UIDs cannot name a file).

// Defaults of the server's limits: well under the 300 seconds of the client calls, so that a
// silent peer cannot hold a worker for long.
constexpr int kDefaultMaxAssociations = 32;
constexpr int kDefaultAcseTimeoutSeconds = 30;   // connection to A-ASSOCIATE-RQ
constexpr int kDefaultDimseTimeoutSeconds = 60;  // idle between messages, and within one

struct StoreServerConfig {
    std::string port = "104";          // decimal text or a service name
    std::string storageFolder;         // received files go below it
    std::string databaseRoot = kDefaultDatabaseRoot;  // the three index files go below it
    int maxAssociations = kDefaultMaxAssociations;  // served side by side; more are rejected
    int acseTimeoutSeconds = kDefaultAcseTimeoutSeconds;
    int receiveTimeoutSeconds = kDefaultDimseTimeoutSeconds;  // the DIMSE time-out
    std::size_t maxDataSetBytes = kMaxReceivedDataSet;  // a larger object aborts its association
    bool sync = false;  // flush every object and its index lines to the device before answering
    std::string aeTitle = "PELLA";      // this server's AE title
    bool requireCalledAETitle = false;  // reject associations not called aeTitle
    bool allStorageClasses = true;      // every storage class of the standard, or the original table
};

// Serves associations side by side, each on a worker of its own, up to config.maxAssociations;
// a connection over the limit gets an A-ASSOCIATE-RJ (transient, local limit exceeded).
class StoreServer {
public:
    explicit StoreServer(StoreServerConfig config);
    ~StoreServer();  // stops the server
    StoreServer(const StoreServer&) = delete;
    StoreServer& operator=(const StoreServer&) = delete;

    // Listens on the port and starts serving on a thread of its own. False (logged) when the
    // port cannot be listened on.
    bool Start();

    // Stops accepting and ends every association at once: idle ones are aborted, a message being
    // received is aborted (it was never acknowledged), an object being filed is filed and
    // answered. Returns once every worker has ended: every object acknowledged is on disk.
    void Stop();

    // The port actually listened on (useful with port "0").
    uint16_t Port() const { return port_; }

private:
    void Run();
    void Dispatch(SocketHandle connection);

    StoreServerConfig config_;
    AssociationWorkers workers_;     // serving associations
    AssociationWorkers rejecting_;   // answering connections over the limit
    uint64_t associations_ = 0;      // numbers the associations in the log
    TcpTransport listener_;
    uint16_t port_ = 0;
    int wakeDescriptor_ = -1;
    std::thread thread_;
};

// Serves one accepted association to its end; false when it was not accepted or ended on a
// protocol error. When `stopDescriptor` (-1: none) becomes readable, the association is aborted
// at its next wait for the peer.
bool ServeAssociation(const StoreServerConfig& config, SocketHandle connection, int stopDescriptor = -1);

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
