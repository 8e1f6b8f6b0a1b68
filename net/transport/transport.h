// One TCP endpoint over IPv4: a data connection or a listening socket. Connect, listen and accept
// block; a receive waits at most the transport's time-out and then drops the connection, and no
// receive goes on past a deadline set for a whole exchange or for a unit that has begun.
#pragma once

#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/transport/socket_handle.h"
#include "net/transport/tls_context.h"
#include "net/transport/tls_session.h"

namespace pella {

constexpr int kDefaultReceiveTimeoutSeconds = 300;

class TcpTransport {
public:
    using Clock = std::chrono::steady_clock;

    explicit TcpTransport(int timeoutSeconds = kDefaultReceiveTimeoutSeconds);
    virtual ~TcpTransport();
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Sends the whole block; false when not connected or the send fails (the connection is then
    // dropped, since part of the block may have left). Hex-dumped to the log at level 3.
    virtual bool Send(const uint8_t* bytes, std::size_t count);

    // Sends several pieces as one stream of bytes, in order, without joining them first; the
    // same failure rules as Send. Hex-dumped piece by piece at level 3.
    bool SendPieces(const iovec* pieces, std::size_t count);

    // Waits up to the time-out (never past a deadline) for data and receives up to `capacity` bytes. Returns
    // the count
    // (> 0), or -1 on time-out, error or peer close, which all leave the transport idle. Before
    // it waits, any acknowledgement the peer is owed goes out at once, so that a sender holding
    // back a small segment until it is acknowledged (Nagle's algorithm) is not kept waiting.
    virtual int Receive(uint8_t* buffer, std::size_t capacity);

    // Deadlines that bytes arriving one by one cannot stretch: once one has passed, a receive
    // fails as it does when the peer is silent past the time-out (an A-ABORT, then idle).
    // SetDeadline bounds a whole exchange (an association request, a whole response); nullopt
    // lifts it.
    void SetDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }
    // BeginUnit bounds a unit whose first byte is in (a PDU): the rest must come within the
    // time-out from now. EndUnit lifts it; the wait for the next unit is bounded by the time-out.
    void BeginUnit() { unitDeadline_ = Clock::now() + std::chrono::seconds(timeoutSeconds_); }
    void EndUnit() { unitDeadline_.reset(); }

    // Closes any data connection and connects to host:port (see address_resolution.h for the
    // texts accepted). Waits at most the time-out for the peer to take the connection.
    virtual bool Connect(const std::string& host, const std::string& port);

    // Closes what is open and listens on the port text, on every local address.
    bool Listen(const std::string& port);
    // The same with a port number; 0 lets the system choose a free port (see BoundPort).
    bool ListenOnPort(uint16_t port);

    // Waits for the next incoming connection and makes it the data connection. A failure that
    // concerns only that connection or a passing shortage (no free descriptor or memory, a peer
    // gone before it was taken) leaves the listening socket open; any other failure closes
    // everything, which ends a listening loop.
    bool Accept();

    // Waits until a connection is pending on the listening socket (true) or `wakeDescriptor`
    // becomes readable (false); also false when not listening or on an error.
    bool WaitForConnection(int wakeDescriptor);

    // Runs the TLS handshake on the data connection in the context's role; afterwards every send
    // and receive goes through the session. A client checks the server's certificate against
    // `peerName` (host name or address) when the context verifies it. The handshake is bounded
    // by the time-out and any deadline and ends when the owner stops. False, with the connection
    // closed and FailureText saying why (a certificate refused, the peer not speaking TLS, ...).
    bool StartTls(std::shared_ptr<const TlsContext> context, const std::string& peerName);
    bool IsTls() const { return tls_ != nullptr; }
    // "TLSv1.3, TLS_AES_256_GCM_SHA384" on a TLS connection; empty otherwise.
    std::string TlsDescription() const;

    // Closes both sockets (a TLS session says close_notify first); the transport becomes idle.
    // Always true.
    bool Close();

    // Hands the data connection to the caller (for a fresh transport's Adopt); the listening
    // socket stays. Only for a connection without TLS (a session cannot move).
    SocketHandle TakeConnection();
    // Closes what is open and makes `connection` this transport's data connection; its peer's
    // address becomes PeerAddress().
    void Adopt(SocketHandle connection);

    bool IsConnected() const { return connection_.Valid(); }
    // The peer has sent something not yet received (or closed the connection): a receive would
    // not wait. Never waits itself; false when not connected.
    bool InputWaiting() const;
    bool IsListening() const { return listener_.Valid(); }
    // The local port of the listening socket; 0 when not listening.
    uint16_t BoundPort() const;
    // The peer's dotted address after Accept or Connect; empty before.
    const std::string& PeerAddress() const { return peerAddress_; }
    // The last socket error (an errno value); 0 when none.
    int LastError() const { return lastError_; }

    int TimeoutSeconds() const { return timeoutSeconds_; }
    // Changes the receive wait (and the send wait); values below 1 become 1.
    void SetTimeoutSeconds(int seconds);
    // Why the last receive, send or connect failed, in words for the user: "no response from the
    // peer within 30 s", "the peer closed the connection", the system's error text, ...
    std::string FailureText() const;
    // The last failure was the time limit (or the deadline).
    bool TimedOut() const;

    // A descriptor that becomes readable when the owner stops (a server's eventfd; -1: none):
    // a wait for the peer then ends at once, as a time-out does, with an A-ABORT.
    void SetStopDescriptor(int descriptor) { stopDescriptor_ = descriptor; }
    int StopDescriptor() const { return stopDescriptor_; }

private:
    // Waits for the connection to become readable; false on time-out, a passed deadline or error.
    bool WaitReadable();
    // Waits for `events` (poll's) on the connection within the time-out and, when `receiving`,
    // the deadlines; the stop descriptor ends it. False with lastError_ set.
    bool WaitFor(short events, bool receiving);
    // The TLS counterparts of Send and Receive's reading.
    bool SendTls(const uint8_t* bytes, std::size_t count);
    bool SendPiecesTls(const iovec* pieces, std::size_t count);
    int ReceiveTls(uint8_t* buffer, std::size_t size);
    // Waits for what the TLS step wants; false (lastError_ set) on a failure or a finished session.
    bool AwaitTlsStep(TlsStep step, bool receiving);
    // Waits up to the time-out for a non-blocking connect to complete; false with lastError_.
    bool AwaitConnect(int socket);
    // The earlier of the two deadlines, if any.
    std::optional<Clock::time_point> NearestDeadline() const;
    // Why the last wait failed, for the log.
    std::string FailedWaitText() const;
    // Ends the connection after a wait that failed: an A-ABORT when the peer was silent or the
    // owner stops.
    void EndAfterFailedWait();
    // Notes why a send failed (its wait running out is a time-out) and drops the connection.
    void NoteSendFailure();
    void ConfigureConnection();

    // Data already waiting is received without a wait first; the wait (which watches the time
    // limit and the stop descriptor) runs when nothing is waiting, and at least once every this
    // many receives, so that a peer sending without pause still sees the owner stop.
    static constexpr int kReceivesBetweenWaits = 64;

    enum class Operation { kNone, kResolve, kConnect, kSend, kReceive, kHandshake };

    int timeoutSeconds_;
    Operation failedOperation_ = Operation::kNone;
    int stopDescriptor_ = -1;
    int receivesSinceWait_ = 0;
    int lastError_ = 0;
    bool pastDeadline_ = false;  // the last failed wait ended at a deadline, not the time-out
    std::optional<Clock::time_point> deadline_;
    std::optional<Clock::time_point> unitDeadline_;
    SocketHandle connection_;
    SocketHandle listener_;
    std::string peerAddress_;
    std::unique_ptr<TlsSession> tls_;
    std::string tlsFailure_;  // why the TLS session failed; empty when it did not
};

}  // namespace pella
