#include "net/transport/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <system_error>
#include <vector>

#include "log/protocol_log.h"
#include "net/transport/address_resolution.h"

namespace pella {

namespace {

// Bursts of senders wait here rather than being refused; the system caps it at its own maximum
// (net.core.somaxconn). A thousand connections arriving at once must all reach the server.
constexpr int kListenBacklog = 4096;

bool SetOption(int socket, int level, int name, const void* value, socklen_t size) {
    return setsockopt(socket, level, name, value, size) == 0;
}

// Closing a socket with linger 0 resets the connection at once instead of lingering.
bool SetLingerZero(int socket) {
    linger off{1, 0};
    return SetOption(socket, SOL_SOCKET, SO_LINGER, &off, sizeof off);
}

bool SetNoDelay(int socket) {
    int on = 1;
    return SetOption(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Sends any acknowledgement that is due now instead of delaying it; the system falls back to
// delayed acknowledgements by itself, so this is repeated before every wait for the peer.
void AcknowledgeNow(int socket) {
    int on = 1;
    SetOption(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);  // fails harmlessly off TCP
}

sockaddr_in IPv4Address(uint32_t address, uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    socketAddress.sin_addr.s_addr = address;
    return socketAddress;
}

std::string DottedText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return {};
    return text;
}

// Accept errors after which the listening socket is still good: the pending connection failed
// or the process ran short of descriptors or memory for a moment.
bool IsPassingAcceptError(int error) {
    switch (error) {
        case ECONNABORTED:
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
        case EPROTO:
        case EPERM:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
        case ETIMEDOUT:
        case EAGAIN:
            return true;
        default:
            return false;
    }
}

bool IsReadable(short events) {
    return (events & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool SetBlocking(int socket, bool blocking) {
    int flags = ::fcntl(socket, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(socket, F_SETFL, flags) == 0;
}

// Milliseconds from now to `deadline` as a poll time-out (0 once it has passed).
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

}  // namespace

TcpTransport::TcpTransport(int timeoutSeconds) : timeoutSeconds_(timeoutSeconds < 1 ? 1 : timeoutSeconds) {}

TcpTransport::~TcpTransport() = default;

void TcpTransport::SetTimeoutSeconds(int seconds) {
    timeoutSeconds_ = seconds < 1 ? 1 : seconds;
    if (IsConnected()) ConfigureConnection();
}

void TcpTransport::ConfigureConnection() {
    SetNoDelay(connection_.Get());  // fails harmlessly on a socket that is not TCP
    // A peer that stops reading must not block a send for longer than it may block a receive.
    timeval wait{timeoutSeconds_, 0};
    SetOption(connection_.Get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
}

bool TcpTransport::Connect(const std::string& host, const std::string& port) {
    tls_.reset();
    connection_.Reset();
    tlsFailure_.clear();
    peerAddress_.clear();
    std::optional<uint16_t> portNumber = ResolvePort(port);
    std::optional<uint32_t> address = ResolveHost(host);
    failedOperation_ = Operation::kResolve;
    if (!portNumber || !address) return false;
    failedOperation_ = Operation::kConnect;

    SocketHandle candidate(::socket(AF_INET, SOCK_STREAM, 0));
    if (!candidate.Valid()) {
        lastError_ = errno;
        return false;
    }
    SetLingerZero(candidate.Get());
    if (!SetNoDelay(candidate.Get())) {
        lastError_ = errno;
        return false;
    }
    sockaddr_in target = IPv4Address(*address, *portNumber);
    // Non-blocking, so that a host that never answers costs the time-out, not the system's
    // minutes of retries.
    if (!SetBlocking(candidate.Get(), false)) {
        lastError_ = errno;
        return false;
    }
    int result = ::connect(candidate.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target);
    lastError_ = result == 0 ? 0 : errno;
    if (result != 0 && (lastError_ != EINPROGRESS || !AwaitConnect(candidate.Get()))) return false;
    if (!SetBlocking(candidate.Get(), true)) {
        lastError_ = errno;
        return false;
    }
    failedOperation_ = Operation::kNone;
    connection_ = std::move(candidate);
    peerAddress_ = DottedText(target);
    ConfigureConnection();
    return true;
}

bool TcpTransport::AwaitConnect(int socket) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    for (;;) {
        pollfd watch{socket, POLLOUT, 0};
        int ready = ::poll(&watch, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            lastError_ = ready == 0 ? ETIMEDOUT : errno;
            return false;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        lastError_ = error;
        return error == 0;
    }
}

bool TcpTransport::TimedOut() const {
    return lastError_ == ETIMEDOUT;
}

std::string TcpTransport::FailureText() const {
    const std::string limit = std::to_string(timeoutSeconds_) + " s";
    if (!tlsFailure_.empty()) return tlsFailure_;
    if (lastError_ == ETIMEDOUT) {
        if (failedOperation_ == Operation::kConnect) return "no connection within " + limit;
        if (failedOperation_ == Operation::kHandshake) return "no TLS handshake within " + limit;
        if (failedOperation_ == Operation::kSend) return "the peer took no data for " + limit;
        return "no response from the peer within " + limit;
    }
    if (failedOperation_ == Operation::kResolve) return "the host or port is not known";
    if (lastError_ == ECANCELED) return "stopped by its owner";
    if (lastError_ == 0)
        return failedOperation_ == Operation::kReceive ? "the peer closed the connection" : "not connected";
    return std::system_category().message(lastError_);
}

bool TcpTransport::Listen(const std::string& port) {
    Close();
    std::optional<uint16_t> portNumber = ResolvePort(port);
    if (!portNumber) return false;
    return ListenOnPort(*portNumber);
}

bool TcpTransport::ListenOnPort(uint16_t port) {
    Close();
    SocketHandle candidate(::socket(AF_INET, SOCK_STREAM, 0));
    if (!candidate.Valid()) {
        lastError_ = errno;
        return false;
    }
    SetLingerZero(candidate.Get());
    // Lets a restarted server bind its port while old connections are still in TIME_WAIT.
    int on = 1;
    SetOption(candidate.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local = IPv4Address(htonl(INADDR_ANY), port);
    if (::bind(candidate.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(candidate.Get(), kListenBacklog) != 0) {
        lastError_ = errno;
        return false;
    }
    listener_ = std::move(candidate);
    return true;
}

bool TcpTransport::WaitForConnection(int wakeDescriptor) {
    if (!IsListening()) return false;
    pollfd watched[2] = {{listener_.Get(), POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
    while (true) {
        int ready = ::poll(watched, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (watched[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) return false;
        if ((watched[0].revents & POLLIN) != 0) return true;
        if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
    }
}

bool TcpTransport::Accept() {
    if (!IsListening()) return false;
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    int accepted;
    do {
        size = sizeof peer;
        accepted = ::accept(listener_.Get(), reinterpret_cast<sockaddr*>(&peer), &size);
    } while (accepted < 0 && errno == EINTR);
    if (accepted < 0) {
        lastError_ = errno;
        if (IsPassingAcceptError(lastError_))
            connection_.Reset();
        else
            Close();
        return false;
    }
    connection_.Reset(accepted);
    peerAddress_ = DottedText(peer);
    ConfigureConnection();
    return true;
}

bool TcpTransport::Close() {
    if (tls_) {
        tls_->Shutdown();
        tls_.reset();
    }
    connection_.Reset();
    listener_.Reset();
    deadline_.reset();
    unitDeadline_.reset();
    return true;
}

SocketHandle TcpTransport::TakeConnection() {
    tls_.reset();
    return std::move(connection_);
}

void TcpTransport::Adopt(SocketHandle connection) {
    Close();
    tlsFailure_.clear();
    connection_ = std::move(connection);
    peerAddress_.clear();
    if (!IsConnected()) return;
    ConfigureConnection();
    // The peer of a connection accepted elsewhere (the storage server's workers) is told here.
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (getpeername(connection_.Get(), reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
        peer.sin_family == AF_INET)
        peerAddress_ = DottedText(peer);
}

uint16_t TcpTransport::BoundPort() const {
    if (!IsListening()) return 0;
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
    return ntohs(local.sin_port);
}

void TcpTransport::NoteSendFailure() {
    // The send wait (SO_SNDTIMEO) ran out: the peer stopped taking data.
    lastError_ = (errno == EAGAIN || errno == EWOULDBLOCK) ? ETIMEDOUT : errno;
    failedOperation_ = Operation::kSend;
    Close();
}

bool TcpTransport::Send(const uint8_t* bytes, std::size_t count) {
    if (!IsConnected()) return false;
    if (tls_) return SendTls(bytes, count);
    std::size_t sent = 0;
    while (sent < count) {
        ssize_t n = ::send(connection_.Get(), bytes + sent, count - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            NoteSendFailure();
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    if (LogLevel() > 2) LogHexDump(bytes, count, true);
    return true;
}

bool TcpTransport::SendPieces(const iovec* pieces, std::size_t count) {
    if (!IsConnected()) return false;
    if (tls_) return SendPiecesTls(pieces, count);
    std::vector<iovec> left(pieces, pieces + count);
    std::size_t first = 0;
    while (first < left.size()) {
        msghdr message{};
        message.msg_iov = left.data() + first;
        message.msg_iovlen = std::min<std::size_t>(left.size() - first, IOV_MAX);
        ssize_t n = ::sendmsg(connection_.Get(), &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            NoteSendFailure();
            return false;
        }
        // Skips what was sent: whole pieces, then the front of a piece sent in part.
        auto sent = static_cast<std::size_t>(n);
        while (first < left.size() && sent >= left[first].iov_len) sent -= left[first++].iov_len;
        if (first < left.size()) {
            left[first].iov_base = static_cast<uint8_t*>(left[first].iov_base) + sent;
            left[first].iov_len -= sent;
        }
    }
    if (LogLevel() > 2)
        for (std::size_t i = 0; i < count; ++i)
            LogHexDump(static_cast<const uint8_t*>(pieces[i].iov_base), pieces[i].iov_len, true);
    return true;
}

std::optional<TcpTransport::Clock::time_point> TcpTransport::NearestDeadline() const {
    if (deadline_ && unitDeadline_) return std::min(*deadline_, *unitDeadline_);
    return deadline_ ? deadline_ : unitDeadline_;
}

bool TcpTransport::InputWaiting() const {
    if (!connection_.Valid()) return false;
    if (tls_ && tls_->HasPending()) return true;
    pollfd watch{connection_.Get(), POLLIN, 0};
    return ::poll(&watch, 1, 0) > 0 && watch.revents != 0;
}

bool TcpTransport::WaitReadable() {
    return WaitFor(POLLIN, true);
}

bool TcpTransport::WaitFor(short events, bool receiving) {
    Clock::time_point limit = Clock::now() + std::chrono::seconds(timeoutSeconds_);
    std::optional<Clock::time_point> deadline = receiving ? NearestDeadline() : std::nullopt;
    pastDeadline_ = deadline && *deadline <= limit;
    if (pastDeadline_) limit = *deadline;
    for (;;) {
        pollfd watch[2] = {{connection_.Get(), events, 0}, {stopDescriptor_, POLLIN, 0}};
        int ready = ::poll(watch, stopDescriptor_ >= 0 ? 2 : 1, MillisecondsUntil(limit));
        if (ready > 0 && stopDescriptor_ >= 0 && (watch[1].revents & POLLIN)) {
            lastError_ = ECANCELED;
            return false;
        }
        if (ready > 0) return IsReadable(watch[0].revents) || (watch[0].revents & events) != 0;
        if (ready < 0 && errno == EINTR) continue;
        lastError_ = ready < 0 ? errno : ETIMEDOUT;
        return false;
    }
}

std::string TcpTransport::FailedWaitText() const {
    if (lastError_ == ECANCELED) return "the server stops";
    if (pastDeadline_) return "the peer's data did not all arrive in time";
    return "the peer was silent for " + std::to_string(timeoutSeconds_) + " s";
}

void TcpTransport::EndAfterFailedWait() {
    if (lastError_ == ETIMEDOUT || lastError_ == ECANCELED) {
        // The peer went silent, or the server stops: end the association with an A-ABORT
        // of our own (source 0, reason 0) rather than just vanishing.
        static const uint8_t kAbortPdu[] = {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0};
        std::size_t written = 0;
        if (tls_)
            tls_->Write(kAbortPdu, sizeof kAbortPdu, written);  // one try: the socket does not block
        else
            ::send(connection_.Get(), kAbortPdu, sizeof kAbortPdu, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (LogLevel() > 0) WriteLogLine("A-ABORT sent: " + FailedWaitText());
    }
    Close();
}

int TcpTransport::Receive(uint8_t* buffer, std::size_t capacity) {
    if (!IsConnected() || capacity == 0) return -1;
    failedOperation_ = Operation::kReceive;
    const std::size_t size = std::min<std::size_t>(capacity, INT_MAX);
    auto receive = [&](int flags) {
        ssize_t got;
        do {
            got = ::recv(connection_.Get(), buffer, size, flags);
        } while (got < 0 && errno == EINTR);
        return got;
    };
    if (std::optional<Clock::time_point> deadline = NearestDeadline();
        deadline && Clock::now() >= *deadline) {
        // Data that keeps trickling in never reaches the wait below: the deadline is seen here.
        lastError_ = ETIMEDOUT;
        pastDeadline_ = true;
        EndAfterFailedWait();
        return -1;
    }
    if (tls_) return ReceiveTls(buffer, size);
    ssize_t n = -1;
    bool mustWait = ++receivesSinceWait_ > kReceivesBetweenWaits;
    if (!mustWait) {
        n = receive(MSG_DONTWAIT);
        mustWait = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    if (mustWait) {
        receivesSinceWait_ = 0;
        AcknowledgeNow(connection_.Get());
        if (!WaitReadable()) {
            EndAfterFailedWait();
            return -1;
        }
        n = receive(0);
    }
    if (n <= 0) {
        lastError_ = n < 0 ? errno : 0;
        Close();
        return -1;
    }
    if (LogLevel() > 2) LogHexDump(buffer, static_cast<std::size_t>(n), false);
    return static_cast<int>(n);
}

std::string TcpTransport::TlsDescription() const {
    return tls_ ? tls_->Description() : std::string();
}

bool TcpTransport::StartTls(std::shared_ptr<const TlsContext> context, const std::string& peerName) {
    if (!IsConnected() || !context) return false;
    failedOperation_ = Operation::kHandshake;
    tlsFailure_.clear();
    // The session drives a non-blocking socket; the waits here keep the time limits.
    if (!SetBlocking(connection_.Get(), false)) {
        lastError_ = errno;
        Close();
        return false;
    }
    tls_ = std::make_unique<TlsSession>(std::move(context), connection_.Get(), peerName);
    for (;;) {
        TlsStep step = tls_->Handshake();
        if (step == TlsStep::kDone) break;
        if (!AwaitTlsStep(step, true)) {
            if (tlsFailure_.empty() && lastError_ == 0)
                tlsFailure_ = "the peer closed the connection during the TLS handshake";
            tls_.reset();  // no close_notify: the session never began
            Close();
            return false;
        }
    }
    failedOperation_ = Operation::kNone;
    if (LogLevel() > 0) WriteLogLine("TLS session with " + peerAddress_ + ": " + tls_->Description());
    return true;
}

bool TcpTransport::AwaitTlsStep(TlsStep step, bool receiving) {
    switch (step) {
        case TlsStep::kWantRead:
            if (receiving) AcknowledgeNow(connection_.Get());
            return WaitFor(POLLIN, receiving);
        case TlsStep::kWantWrite:
            return WaitFor(POLLOUT, receiving);
        case TlsStep::kClosed:
            lastError_ = 0;
            return false;
        default:
            lastError_ = EPROTO;
            tlsFailure_ = tls_->FailureText();
            return false;
    }
}

bool TcpTransport::SendTls(const uint8_t* bytes, std::size_t count) {
    failedOperation_ = Operation::kSend;
    std::size_t sent = 0;
    while (sent < count) {
        std::size_t written = 0;
        TlsStep step = tls_->Write(bytes + sent, count - sent, written);
        if (step == TlsStep::kDone) {
            sent += written;
            continue;
        }
        if (!AwaitTlsStep(step, false)) {
            if (lastError_ == 0) lastError_ = EPIPE;
            Close();
            return false;
        }
    }
    failedOperation_ = Operation::kNone;
    if (LogLevel() > 2) LogHexDump(bytes, count, true);
    return true;
}

bool TcpTransport::SendPiecesTls(const iovec* pieces, std::size_t count) {
    // Small pieces (PDU headers) are joined with their neighbours so that each TLS record
    // carries a full load; pieces large enough for whole records go as they are.
    constexpr std::size_t kGather = 64 * 1024;
    std::vector<uint8_t> gathered;
    gathered.reserve(kGather);
    auto flush = [&] {
        bool sent = gathered.empty() || SendTls(gathered.data(), gathered.size());
        gathered.clear();
        return sent;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const auto* bytes = static_cast<const uint8_t*>(pieces[i].iov_base);
        const std::size_t length = pieces[i].iov_len;
        if (gathered.size() + length <= kGather) {
            gathered.insert(gathered.end(), bytes, bytes + length);
            continue;
        }
        if (!flush()) return false;
        if (length >= kGather) {
            if (!SendTls(bytes, length)) return false;
        } else {
            gathered.insert(gathered.end(), bytes, bytes + length);
        }
    }
    return flush();
}

int TcpTransport::ReceiveTls(uint8_t* buffer, std::size_t size) {
    // What the session already holds is taken first; the socket is waited on only when the
    // session asks for more. A peer sending without pause still sees the owner stop.
    if (++receivesSinceWait_ > kReceivesBetweenWaits) {
        receivesSinceWait_ = 0;
        pollfd stop{stopDescriptor_, POLLIN, 0};
        if (stopDescriptor_ >= 0 && ::poll(&stop, 1, 0) > 0) {
            lastError_ = ECANCELED;
            EndAfterFailedWait();
            return -1;
        }
    }
    for (;;) {
        std::size_t got = 0;
        TlsStep step = tls_->Read(buffer, size, got);
        if (step == TlsStep::kDone) {
            if (LogLevel() > 2) LogHexDump(buffer, got, false);
            return static_cast<int>(got);
        }
        if (!AwaitTlsStep(step, true)) {
            if (lastError_ == ETIMEDOUT || lastError_ == ECANCELED)
                EndAfterFailedWait();
            else
                Close();
            return -1;
        }
    }
}

}  // namespace pella
