// Exported storage-server functions.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/boundary.h"
#include "api/live_handles.h"
#include "api/sized_options.h"
#include "api/tls_settings.h"
#include "log/protocol_log.h"
#include "pella.h"
#include "services/archive/archive_services.h"
#include "services/archive/index_instance_source.h"
#include "services/archive/peer_admission.h"
#include "services/index/archive_index.h"
#include "services/storage/store_server.h"

using namespace pella;

// The handle type of the public header.
struct StoreServerHandle {
    StoreServerHandle(StoreServerConfig config, std::unique_ptr<ArchiveSetup> archiveSetup)
        : archive(std::move(archiveSetup)), server(WithArchive(std::move(config), archive.get())) {}
    std::unique_ptr<ArchiveSetup> archive;  // outlives the server, whose handlers use it
    StoreServer server;

private:
    static StoreServerConfig WithArchive(StoreServerConfig config, const ArchiveSetup* setup) {
        config.addServices = [setup](RequestHandlers& handlers, ServingPolicy& serving) {
            AddArchiveServices(*setup, handlers, serving);
        };
        return config;
    }
};

namespace {

std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

// Servers started with StartStoreSCP, kept until StopStoreSCP or the end of the process.
struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<StoreServerHandle>> servers;
};

Registry& Servers() {
    static Registry* registry = new Registry();  // never destroyed: servers may outlive main
    return *registry;
}

// Who may call (peers, users), the audit trail and the storage quota; false (logged) when a
// file named cannot be used.
bool SetAccessAuditAndQuota(const StoreServerOptions& options, std::shared_ptr<const PeersFile> peers,
                            StoreServerConfig& config) {
    if (options.requireKnownPeers != 0 && !peers) {
        LogFailure("The storage server cannot require known peers without a peers file");
        return false;
    }
    config.admitPeer = PeerAdmission(std::move(peers), options.requireKnownPeers != 0);
    std::string why;
    if (options.usersFile != nullptr && options.usersFile[0] != '\0') {
        auto users = std::make_shared<Credentials>();
        if (!LoadCredentialsFile(options.usersFile, *users, why)) {
            LogFailure("The storage server cannot use its users file: " + why);
            return false;
        }
        config.users = std::move(users);
    }
    config.requireUser = options.requireUser != 0;
    if (options.auditFile != nullptr && options.auditFile[0] != '\0') {
        config.audit = std::make_shared<AuditTrail>(options.auditFile);
        if (!config.audit->Open(why)) {
            LogFailure("The storage server cannot use its audit file: " + why);
            return false;
        }
    }
    config.maxStorageBytes = options.maxStorage;
    return true;
}

std::unique_ptr<StoreServerHandle> Start(const char* storageFolder, const char* port,
                                         const char* databaseRoot, const StoreServerOptions& options) {
    StoreServerConfig config;
    if (options.aeTitle != nullptr && options.aeTitle[0] != '\0')
        config.aeTitle = std::string(options.aeTitle).substr(0, 16);
    config.requireCalledAETitle = options.requireCalledAETitle != 0;
    config.allStorageClasses = options.originalSopClasses == 0;
    config.sync = options.sync != 0;
    if (options.maxAssociations > 0) config.maxAssociations = options.maxAssociations;
    if (options.acseTimeoutSeconds > 0) config.acseTimeoutSeconds = options.acseTimeoutSeconds;
    if (options.dimseTimeoutSeconds > 0) config.receiveTimeoutSeconds = options.dimseTimeoutSeconds;
    if (options.maxObjectSize > 0) config.maxObjectBytes = options.maxObjectSize;
    if (options.minFreeBytes > 0) config.minFreeBytes = options.minFreeBytes;
    config.maxPduLength = ReceivePduLengthOrDefault(options.maxPduLength);
    config.reindex = options.reindex != 0;
    try {
        config.tls = TlsContextFrom(options.tls, TlsRole::kServer);
    } catch (const std::runtime_error& error) {
        LogFailure(std::string("The storage server cannot use its TLS settings: ") + error.what());
        return nullptr;
    }
    config.storageFolder = Text(storageFolder);
    config.port = Text(port);
    if (databaseRoot != nullptr && databaseRoot[0] != '\0') config.databaseRoot = databaseRoot;
    std::string why;
    if (!SetArchiveIndexLocation(config.storageFolder, Text(options.archiveIndex), why)) {
        LogFailure("The storage server cannot use its archive index: " + why);
        return nullptr;
    }
    auto archive = std::make_unique<ArchiveSetup>();
    archive->storageFolder = config.storageFolder;
    archive->aeTitle = config.aeTitle;
    archive->instances = IndexInstanceSource(config.storageFolder);
    if (options.peersFile != nullptr && options.peersFile[0] != '\0') {
        auto peers = std::make_shared<PeersFile>();
        std::string why;
        if (!LoadPeersFile(options.peersFile, *peers, why)) {
            LogFailure("The storage server cannot use its peers file: " + why);
            return nullptr;
        }
        archive->peers = std::move(peers);
    }
    if (!SetAccessAuditAndQuota(options, archive->peers, config)) return nullptr;
    auto handle = std::make_unique<StoreServerHandle>(std::move(config), std::move(archive));
    if (!handle->server.Start()) return nullptr;
    return handle;
}

StoreServerOptions ReadOptions(const StoreServerOptions* given) {
    constexpr std::size_t kFirstFields = offsetof(StoreServerOptions, dimseTimeoutSeconds) + sizeof(int32_t);
    return ReadSizedOptions(given, kFirstFields, "StoreServerOptions");
}

// Hands a started server to the host as a live handle.
StoreServerHandle* Adopt(std::unique_ptr<StoreServerHandle> handle) {
    RegisterHandle(HandleKind::StoreServer, handle.get());
    return handle.release();
}

}  // namespace

extern "C" {

PELLA_API void StartStoreSCP(const char* storageFolder, const char* port) {
    GuardedVoid("StartStoreSCP", [&] {
        StoreServerOptions original{};
        original.originalSopClasses = 1;
        auto handle = Start(storageFolder, port, nullptr, original);
        if (!handle) return;
        std::lock_guard lock(Servers().mutex);
        Servers().servers.push_back(std::move(handle));
    });
}

PELLA_API void StopStoreSCP(void) {
    GuardedVoid("StopStoreSCP", [] {
        std::vector<std::unique_ptr<StoreServerHandle>> stopping;
        {
            std::lock_guard lock(Servers().mutex);
            stopping.swap(Servers().servers);
        }
        stopping.clear();  // each server stops as it is destroyed
    });
}

PELLA_API StoreServerHandle* StartStoreServer(const char* storageFolder, const char* port,
                                              const char* databaseRoot) {
    return Guarded<StoreServerHandle*>("StartStoreServer", nullptr, [&] {
        return Adopt(Start(storageFolder, port, databaseRoot, StoreServerOptions{}));
    });
}

PELLA_API StoreServerHandle* StartStoreServerAs(const char* storageFolder, const char* port,
                                                const char* databaseRoot, const char* aeTitle,
                                                uint8_t requireCalledAETitle) {
    return Guarded<StoreServerHandle*>("StartStoreServerAs", nullptr, [&] {
        StoreServerOptions options{};
        options.aeTitle = aeTitle;
        options.requireCalledAETitle = requireCalledAETitle;
        return Adopt(Start(storageFolder, port, databaseRoot, options));
    });
}

PELLA_API StoreServerHandle* StartStoreServerWithOptions(const char* storageFolder, const char* port,
                                                         const char* databaseRoot,
                                                         const StoreServerOptions* options) {
    return Guarded<StoreServerHandle*>("StartStoreServerWithOptions", nullptr, [&] {
        return Adopt(Start(storageFolder, port, databaseRoot, ReadOptions(options)));
    });
}

PELLA_API int32_t StoreServerPort(const StoreServerHandle* server) {
    return Guarded<int32_t>("StoreServerPort", 0, [&] {
        RequireLive(HandleKind::StoreServer, server);
        return server == nullptr ? 0 : server->server.Port();
    });
}

PELLA_API void StopStoreServer(StoreServerHandle* server) {
    GuardedVoid("StopStoreServer", [&] {
        ReleaseHandle(HandleKind::StoreServer, server);
        std::unique_ptr<StoreServerHandle> owned(server);
    });
}

}  // extern "C"
