// The TLS side of a connection's settings: one OpenSSL context made from PEM files, shared by
// every connection of a server or of this process's own associations. TLS 1.2 and 1.3 only,
// with the non-downgrading suites of BCP 195 (AES-GCM with ephemeral keys; TLS 1.3's own).
#pragma once

#include <memory>
#include <string>

using SSL_CTX = struct ssl_ctx_st;

namespace pella {

struct TlsSettings {
    std::string certificateFile;  // PEM: this side's certificate (and chain); a server needs one
    std::string keyFile;          // PEM: its private key (not encrypted)
    std::string caFile;           // PEM: the authorities the peer's certificate must come from
    // A client checks the server's certificate and host name; a server checks a client's
    // certificate when one is sent (against caFile).
    bool verifyPeer = true;
    bool requirePeerCertificate = false;  // a server refuses clients without a certificate
};

enum class TlsRole { kClient, kServer };

class TlsContext {
public:
    // The context for `role`; null with `why` set when a file cannot be read or the key does
    // not match the certificate.
    static std::shared_ptr<const TlsContext> Make(TlsRole role, const TlsSettings& settings,
                                                  std::string& why);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* Native() const { return context_; }
    TlsRole Role() const { return role_; }
    bool VerifiesPeer() const { return verifyPeer_; }

private:
    TlsContext(SSL_CTX* context, TlsRole role, bool verifyPeer)
        : context_(context), role_(role), verifyPeer_(verifyPeer) {}

    SSL_CTX* context_;
    TlsRole role_;
    bool verifyPeer_;
};

// The reasons queued by OpenSSL on this thread, joined, oldest first (the queue is emptied);
// `fallback` when there are none.
std::string TakeTlsErrors(const std::string& fallback);

}  // namespace pella
