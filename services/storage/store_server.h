// The storage server: listens on a port, serves associations side by side, and hands every
// request received on them to the handler registered for it (C-ECHO, and C-STORE, which files
// the object before it answers).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "net/acse/association.h"
#include "net/acse/negotiation.h"
#include "net/acse/over_limit_rejector.h"
#include "net/pdu/pdu_limits.h"
#include "net/transport/socket_handle.h"
#include "net/transport/transport.h"
#include "services/storage/association_workers.h"
#include "services/storage/request_handlers.h"

namespace pella {

constexpr const char* kDefaultDatabaseRoot = "./Database";

// Defaults of the server's limits: well under the 300 seconds of the client calls, so that a
// silent peer cannot hold a worker for long.
constexpr int kDefaultMaxAssociations = 32;
constexpr int kDefaultAcseTimeoutSeconds = 30;   // connection to A-ASSOCIATE-RQ
constexpr int kDefaultDimseTimeoutSeconds = 60;  // idle between messages, and within one

// Disk bounds: an object larger than this aborts its association; receiving stops (aborted)
// when the storage folder's file system would keep less free space than the reserve, and a
// store that begins under the reserve is answered Out of Resources.
constexpr uint64_t kDefaultMaxObjectBytes = 4ull * 1024 * 1024 * 1024;
constexpr uint64_t kDefaultMinFreeBytes = 1ull * 1024 * 1024 * 1024;

struct StoreServerConfig {
    std::string port = "104";                         // decimal text or a service name
    std::string storageFolder;                        // received files go below it
    std::string databaseRoot = kDefaultDatabaseRoot;  // the three index files go below it
    int maxAssociations = kDefaultMaxAssociations;    // served side by side; more are rejected
    int acseTimeoutSeconds = kDefaultAcseTimeoutSeconds;
    int receiveTimeoutSeconds = kDefaultDimseTimeoutSeconds;  // the DIMSE time-out
    uint64_t maxObjectBytes = kDefaultMaxObjectBytes;         // a larger object aborts its association
    uint64_t minFreeBytes = kDefaultMinFreeBytes;             // free space kept on the storage folder's disk
    bool sync = false;              // flush every object and its index lines to the device before answering
    std::string aeTitle = "PELLA";  // this server's AE title
    bool requireCalledAETitle = false;         // reject associations not called aeTitle
    bool allStorageClasses = true;             // every storage class of the standard, or the original table
    uint32_t maxPduLength = kOurMaxPduLength;  // the largest PDU announced for receiving
    // Received objects are recorded in the archive index of the storage folder too.
    bool archiveIndex = true;
    // Before listening, the archive index is made (and rebuilt from the files when it is new);
    // reindex rebuilds it even when it exists.
    bool reindex = false;
    // Services of the rooms above storage (query and retrieve): widens each association's
    // request handlers and serving policy. Unset: verification and storage only.
    std::function<void(RequestHandlers& handlers, ServingPolicy& serving)> addServices;
};

// Serves associations side by side, each on a worker of its own, up to config.maxAssociations;
// a connection over the limit gets an A-ASSOCIATE-RJ (transient, local limit exceeded) from one
// rejecting thread, however many arrive at once. Start raises the process's soft limit on open
// descriptors (towards its hard limit) when it is too low for those waiting connections.
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
    AssociationWorkers workers_;                   // serving associations
    std::unique_ptr<OverLimitRejector> rejector_;  // answers connections over the limit
    uint64_t associations_ = 0;                    // numbers the associations in the log
    TcpTransport listener_;
    uint16_t port_ = 0;
    int wakeDescriptor_ = -1;
    std::thread thread_;
};

// The requests the server answers: C-ECHO of the Verification class and C-STORE of every storage
// class (config.addServices adds the rest per association). The handlers use `config`, which
// must outlive them.
RequestHandlers ServerRequestHandlers(const StoreServerConfig& config);

// Serves one accepted association to its end; false when it was not accepted or ended on a
// protocol error. When `stopDescriptor` (-1: none) becomes readable, the association is aborted
// at its next wait for the peer.
// Each request is answered by the handler ServerRequestHandlers registers for it; a request
// without one ends the association with an A-ABORT.
bool ServeAssociation(const StoreServerConfig& config, SocketHandle connection, int stopDescriptor = -1);

}  // namespace pella
