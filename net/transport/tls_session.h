// One TLS session on a non-blocking socket. Each call makes what progress it can and says what
// it waits for; the transport does the waiting, so its time limits and stop signal hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/transport/tls_context.h"

using SSL = struct ssl_st;

namespace pella {

enum class TlsStep {
    kDone,       // the call completed (bytes moved, handshake finished)
    kWantRead,   // wait until the socket is readable, then call again
    kWantWrite,  // wait until the socket is writable, then call again
    kClosed,     // the peer ended the session (close_notify or end of stream)
    kFailed,     // the session is broken; FailureText says why
};

class TlsSession {
public:
    // A session on `socket` in the context's role. A client checks that the server's certificate
    // names `peerName` (a host name or an IPv4 address) when the context verifies the peer.
    TlsSession(std::shared_ptr<const TlsContext> context, int socket, const std::string& peerName);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    bool Valid() const { return ssl_ != nullptr; }
    TlsStep Handshake();
    // Reads up to `capacity` decrypted bytes into `buffer`; `got` is set when kDone.
    TlsStep Read(uint8_t* buffer, std::size_t capacity, std::size_t& got);
    // Writes from `bytes` (repeat with the same arguments after a wait); `written` when kDone.
    TlsStep Write(const uint8_t* bytes, std::size_t count, std::size_t& written);
    // Decrypted or received bytes held inside the session: a read would not wait.
    bool HasPending() const;
    // Sends close_notify once, without waiting (nothing after a failure).
    void Shutdown();
    // Why the last call failed, in words: a certificate problem names the certificate check.
    const std::string& FailureText() const { return failure_; }
    // "TLSv1.3, TLS_AES_256_GCM_SHA384" once the handshake is done.
    std::string Description() const;

private:
    TlsStep Outcome(int result);

    std::shared_ptr<const TlsContext> context_;
    SSL* ssl_ = nullptr;
    bool broken_ = false;
    std::string failure_;
};

}  // namespace pella
