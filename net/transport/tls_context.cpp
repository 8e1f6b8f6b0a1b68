#include "net/transport/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <utility>

#include "net/transport/libssl_on_demand.h"

namespace pella {

namespace {

// TLS 1.2: the suites of BCP 195 with forward secrecy and authenticated encryption.
constexpr const char* kTls12Suites =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "DHE-RSA-AES128-GCM-SHA256:DHE-RSA-AES256-GCM-SHA384";
constexpr const char* kTls13Suites =
    "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256";

// Bytes the session reads from the socket at once (several records).
constexpr std::size_t kReadAheadBytes = 128 * 1024;

// An encrypted key is refused rather than prompted for on the terminal.
int NoPassword(char*, int, int, void*) {
    return 0;
}

struct ContextOwner {
    SSL_CTX* context;
    ~ContextOwner() { SSL_CTX_free(context); }
    SSL_CTX* Release() { return std::exchange(context, nullptr); }
};

bool LoadOwnCertificate(SSL_CTX* context, const TlsSettings& settings, std::string& why) {
    if (SSL_CTX_use_certificate_chain_file(context, settings.certificateFile.c_str()) != 1) {
        why = "cannot read the certificate " + settings.certificateFile + ": " + TakeTlsErrors("not PEM");
        return false;
    }
    const bool loaded = SSL_CTX_use_PrivateKey_file(context, settings.keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
    const std::string errors = loaded ? std::string() : TakeTlsErrors("not an unencrypted PEM key");
    if (!loaded && errors.find("mismatch") == std::string::npos) {
        why = "cannot read the private key " + settings.keyFile + ": " + errors;
        return false;
    }
    if (!loaded || SSL_CTX_check_private_key(context) != 1) {
        why = "the private key " + settings.keyFile + " does not belong to the certificate " +
              settings.certificateFile;
        TakeTlsErrors({});
        return false;
    }
    return true;
}

bool LoadAuthorities(SSL_CTX* context, TlsRole role, const TlsSettings& settings, std::string& why) {
    if (settings.caFile.empty()) {
        // A client without its own list trusts the system's authorities.
        if (role == TlsRole::kClient) SSL_CTX_set_default_verify_paths(context);
        return true;
    }
    if (SSL_CTX_load_verify_locations(context, settings.caFile.c_str(), nullptr) != 1) {
        why = "cannot read the CA certificates " + settings.caFile + ": " + TakeTlsErrors("not PEM");
        return false;
    }
    if (role == TlsRole::kServer) {
        // Tells clients which authorities their certificate may come from.
        if (STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(settings.caFile.c_str()))
            SSL_CTX_set_client_CA_list(context, names);
    }
    return true;
}

void SetVerification(SSL_CTX* context, TlsRole role, const TlsSettings& settings) {
    int mode = SSL_VERIFY_NONE;
    if (role == TlsRole::kClient && settings.verifyPeer) mode = SSL_VERIFY_PEER;
    if (role == TlsRole::kServer && settings.verifyPeer && !settings.caFile.empty()) mode = SSL_VERIFY_PEER;
    if (role == TlsRole::kServer && settings.requirePeerCertificate)
        mode = SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT;
    SSL_CTX_set_verify(context, mode, nullptr);
}

}  // namespace

std::string TakeTlsErrors(const std::string& fallback) {
    std::string text;
    while (unsigned long error = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(error, line, sizeof line);
        const char* reason = ERR_reason_error_string(error);
        if (!text.empty()) text.append("; ");
        text.append(reason != nullptr ? reason : line);
    }
    return text.empty() ? fallback : text;
}

std::shared_ptr<const TlsContext> TlsContext::Make(TlsRole role, const TlsSettings& settings,
                                                   std::string& why) {
    if (!OpenSslAvailable(why)) return nullptr;
    ERR_clear_error();
    ContextOwner owner{SSL_CTX_new(role == TlsRole::kServer ? TLS_server_method() : TLS_client_method())};
    SSL_CTX* context = owner.context;
    if (context == nullptr) {
        why = "cannot make a TLS context: " + TakeTlsErrors("out of memory");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION);
    SSL_CTX_set_options(
        context, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Each association makes a session of its own: no tickets for resuming one.
    SSL_CTX_set_num_tickets(context, 0);
    // Several records come in per receive: a large object costs fewer system calls.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, kReadAheadBytes);
    if (SSL_CTX_set_cipher_list(context, kTls12Suites) != 1 ||
        SSL_CTX_set_ciphersuites(context, kTls13Suites) != 1) {
        why = "the TLS library offers none of the secure suites: " + TakeTlsErrors("");
        return nullptr;
    }
    SSL_CTX_set_default_passwd_cb(context, NoPassword);
    const bool hasOwn = !settings.certificateFile.empty() || !settings.keyFile.empty();
    if (role == TlsRole::kServer && (settings.certificateFile.empty() || settings.keyFile.empty())) {
        why = "a TLS server needs a certificate and its private key";
        return nullptr;
    }
    if (hasOwn && (settings.certificateFile.empty() || settings.keyFile.empty())) {
        why = "a TLS certificate needs its private key, and a key its certificate";
        return nullptr;
    }
    if (hasOwn && !LoadOwnCertificate(context, settings, why)) return nullptr;
    if (!LoadAuthorities(context, role, settings, why)) return nullptr;
    if (role == TlsRole::kServer && settings.requirePeerCertificate && settings.caFile.empty()) {
        why = "client certificates can only be required with the CA certificates that issue them";
        return nullptr;
    }
    SetVerification(context, role, settings);
    bool verifies = (SSL_CTX_get_verify_mode(context) & SSL_VERIFY_PEER) != 0;
    return std::shared_ptr<const TlsContext>(new TlsContext(owner.Release(), role, verifies));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(context_);
}

}  // namespace pella
