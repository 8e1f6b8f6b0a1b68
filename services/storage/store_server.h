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

#include "net/acse/acceptor.h"
#include "net/acse/association.h"
#include "net/acse/negotiation.h"
#include "net/acse/over_limit_rejector.h"
#include "net/pdu/pdu_limits.h"
#include "net/transport/socket_handle.h"
#include "net/transport/tls_context.h"
#include "net/transport/transport.h"
#include "services/storage/association_workers.h"
#include "services/storage/audit_trail.h"
#include "services/storage/request_handlers.h"
#include "services/storage/storage_quota.h"
#include "services/storage/user_credentials.h"

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
    // Every connection opens a TLS session first (on its worker, within the ACSE time-out);
    // null: plain TCP.
    std::shared_ptr<const TlsContext> tls;
    // Received objects are recorded in the archive index of the storage folder too.
    bool archiveIndex = true;
    // Before listening, the archive index is made (and rebuilt from the files when it is new);
    // reindex rebuilds it even when it exists.
    bool reindex = false;
    // Services of the rooms above storage (query and retrieve): widens each association's
    // request handlers and serving policy. Unset: verification and storage only.
    std::function<void(RequestHandlers& handlers, ServingPolicy& serving)> addServices;
    // Who may call: the checks of the calling peer (the archive's peers file: title, address,
    // services), made once its request is read; unset: every peer, every service.
    std::function<Admission(const PDU& pdu)> admitPeer;
    // Users admitted by user identity negotiation; null: an identity is never admitted.
    std::shared_ptr<const Credentials> users;
    bool requireUser = false;  // reject (1/1/1) a request without an admitted user identity
    // The audit trail every association writes to; null: none.
    std::shared_ptr<AuditTrail> audit;
    // The bytes the stored objects may take (0: no limit); a store beyond it is answered Out of
    // Resources. Start measures what is stored once and makes `quota`, which counts from there.
    uint64_t maxStorageBytes = 0;
    std::shared_ptr<StorageQuota> quota;
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
