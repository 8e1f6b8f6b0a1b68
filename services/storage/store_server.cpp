#include "services/storage/store_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "log/protocol_log.h"
#include "net/acse/acceptor.h"
#include "net/acse/association_failures.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"
#include "net/transport/descriptor_limit.h"
#include "services/storage/archive_preparation.h"
#include "services/storage/filing.h"
#include "services/storage/serving_policy.h"
#include "services/storage/store_handler.h"
#include "services/verification/echo.h"

namespace pella {

namespace {

constexpr int kAcceptRetryMilliseconds = 100;
// Connections over the limit that wait for their answer at once, at most (one descriptor each).
constexpr std::size_t kMaxRejecting = 4096;
// A connection over the limit gets this long to send its request before it is closed.
constexpr int kRejectWaitSeconds = 5;

// Descriptors kept for the associations served (socket, files being written, index files) and
// for the process's own, beside those of connections waiting to be rejected.
std::size_t ReservedDescriptors(int maxAssociations) {
    return 64 + 8 * static_cast<std::size_t>(std::max(maxAssociations, 1));
}

// How many connections over the limit may wait at once: as many as the descriptor limit allows
// (raised when it is low) after the reserve, up to kMaxRejecting.
std::size_t RejectingCapacity(int maxAssociations) {
    std::size_t reserve = ReservedDescriptors(maxAssociations);
    std::size_t limit = RaiseDescriptorLimit(reserve + kMaxRejecting);
    return std::clamp<std::size_t>(limit > reserve ? limit - reserve : 0, 16, kMaxRejecting);
}

// Waits up to `milliseconds` for the stop signal; true when it came.
bool WaitForStop(int wakeDescriptor, int milliseconds) {
    pollfd watched{wakeDescriptor, POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) > 0;
}

// Ends an association the server cannot go on with.
bool EndWithAbort(PDU& pdu, const std::string& reason) {
    LogFailure(reason);
    if (pdu.IsConnected()) AbortAssociation(pdu);
    return false;
}

// The log line for a request no handler is registered for.
std::string NotServedText(const DimseCommand& request) {
    char field[8];
    std::snprintf(field, sizeof field, "0x%04X", request.commandField);
    const std::string& sopClass = RequestSopClass(request);
    return std::string("Command ") + field + " for SOP class '" + sopClass +
           "' is not served: association ended";
}

}  // namespace

RequestHandlers ServerRequestHandlers(const StoreServerConfig& config) {
    RequestHandlers handlers;
    handlers.Add(kCEchoRQ, kVerificationSopClass, WriteEchoRSP);
    AddStoreHandler(handlers, config);
    return handlers;
}

bool ServeAssociation(const StoreServerConfig& config, SocketHandle connection, int stopDescriptor) {
    // The request must come within the ACSE time-out; after that the DIMSE time-out bounds
    // every wait for the peer.
    PDU pdu(config.acseTimeoutSeconds);
    pdu.receivePduLength = config.maxPduLength;
    pdu.buffer.Transport().SetStopDescriptor(stopDescriptor);
    // Objects are received straight into their files; no other data set is ever held whole.
    pdu.data.dataSetLimit = kMaxReceivedCommand;
    AcceptorPolicy policy{config.aeTitle, config.requireCalledAETitle,
                          StorageServingPolicy(config.allStorageClasses)};
    RequestHandlers handlers = ServerRequestHandlers(config);
    if (config.addServices) config.addServices(handlers, policy.serving);
    if (!AcceptAssociation(pdu, std::move(connection), policy)) return false;
    pdu.buffer.Transport().SetTimeoutSeconds(config.receiveTimeoutSeconds);
    while (true) {
        ReceivedCommand request;
        if (!ReadCommand(pdu, request)) {
            // Released, aborted, closed, silent or stopped: the association is over.
            pdu.buffer.Transport().Close();
            return true;
        }
        const RequestHandler* handler = handlers.Find(request.command);
        if (!handler) return EndWithAbort(pdu, NotServedText(request.command));
        if (!(*handler)(pdu, request)) {
            // The handler said why; the association cannot go on in step.
            if (pdu.IsConnected()) AbortAssociation(pdu);
            return false;
        }
    }
}

StoreServer::StoreServer(StoreServerConfig config) : config_(std::move(config)) {}

StoreServer::~StoreServer() {
    Stop();
    if (wakeDescriptor_ >= 0) ::close(wakeDescriptor_);
}

bool StoreServer::Start() {
    if (thread_.joinable()) return false;
    if (config_.storageFolder.empty()) {
        LogFailure("The storage server needs a storage folder");
        return false;
    }
    // A folder that cannot be written is told now, not to every sender as a refusal.
    std::string reason;
    std::vector<std::string> recovered;
    if (!PrepareStorageFolder(config_.storageFolder, reason, &recovered) ||
        (config_.databaseRoot != config_.storageFolder &&
         !PrepareDatabaseRoot(config_.databaseRoot, reason))) {
        LogFailure("The storage server cannot use its folders: " + reason);
        return false;
    }
    if (config_.archiveIndex &&
        !PrepareArchiveIndex(config_.storageFolder, config_.reindex, recovered, reason)) {
        LogFailure("The storage server cannot use its archive index: " + reason);
        return false;
    }
    // Port "0" lets the system choose a free port (tests, and hosts that read Port()).
    bool listening = config_.port == "0" ? listener_.ListenOnPort(0) : listener_.Listen(config_.port);
    if (!listening) {
        LogFailure("The storage server cannot listen on port " + config_.port + ": " +
                   listener_.FailureText());
        return false;
    }
    port_ = listener_.BoundPort();
    if (wakeDescriptor_ < 0) wakeDescriptor_ = ::eventfd(0, EFD_CLOEXEC);
    if (wakeDescriptor_ < 0) {
        LogFailure("The storage server cannot make its stop signal");
        listener_.Close();
        return false;
    }
    rejector_ = std::make_unique<OverLimitRejector>(kOverLimitRejection,
                                                    std::min(config_.acseTimeoutSeconds, kRejectWaitSeconds),
                                                    RejectingCapacity(config_.maxAssociations));
    if (!rejector_->Start()) {
        listener_.Close();
        return false;
    }
    LogProgress("Storage server listening on port " + std::to_string(port_));
    thread_ = std::thread([this] { Run(); });
    return true;
}

void StoreServer::Stop() {
    if (!thread_.joinable()) return;
    uint64_t one = 1;
    if (::write(wakeDescriptor_, &one, sizeof one) < 0) {
        // The eventfd cannot be full with one write; nothing else to do.
    }
    thread_.join();
    listener_.Close();
    // Every wait for a peer watches the same signal: idle associations are aborted at once.
    workers_.JoinAll();
    rejector_->Stop();
    uint64_t count = 0;
    if (::read(wakeDescriptor_, &count, sizeof count) < 0) {
        // Nothing was signalled; nothing to clear.
    }
    LogProgress("Storage server on port " + std::to_string(port_) + " stopped");
}

void StoreServer::Dispatch(SocketHandle connection) {
    // Appended rather than "A" + text: GCC 12 at -O3 misreads an insert at the front of a
    // temporary string as an overlapping copy (-Werror=restrict).
    std::string tag = "A";
    tag += std::to_string(++associations_);
    LogProgress("Connection from " + listener_.PeerAddress() + " [" + tag + "]");
    auto serve = [this, tag](SocketHandle owned) {
        LogContext context(tag);
        ServeAssociation(config_, std::move(owned), wakeDescriptor_);
    };
    if (workers_.Start(connection, static_cast<std::size_t>(config_.maxAssociations), serve)) return;
    if (!connection.Valid()) return;  // no thread could be made; the connection is closed
    LogFailure("[" + tag + "] More than " + std::to_string(config_.maxAssociations) +
               " associations at once: rejected");
    rejector_->Add(std::move(connection));
}

void StoreServer::Run() {
    while (listener_.WaitForConnection(wakeDescriptor_)) {
        try {
            if (!listener_.Accept()) {
                if (!listener_.IsListening()) break;
                // Out of descriptors or memory for a moment: the pending connection is taken
                // once the shortage ends, so wait a little (or for Stop) and try again.
                LogFailure("Connection could not be accepted: " +
                           std::string(std::strerror(listener_.LastError())));
                if (!WaitForStop(wakeDescriptor_, kAcceptRetryMilliseconds)) continue;
                break;
            }
            Dispatch(listener_.TakeConnection());
        } catch (const std::exception& error) {
            LogFailure(std::string("Connection not served: ") + error.what());
        } catch (...) {
            LogFailure("Connection not served: unknown error");
        }
    }
}

}  // namespace pella
