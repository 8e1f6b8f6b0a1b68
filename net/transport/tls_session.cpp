#include "net/transport/tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace pella {

namespace {

bool IsIPv4Address(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// Names the peer the certificate must be issued to: its IP address or host name (also sent
// as the server name, so that a server with several certificates can pick).
void ExpectPeerName(SSL* ssl, const std::string& peerName) {
    if (peerName.empty()) return;
    if (IsIPv4Address(peerName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), peerName.c_str());
        return;
    }
    SSL_set_tlsext_host_name(ssl, peerName.c_str());
    SSL_set1_host(ssl, peerName.c_str());
}

// OpenSSL's socket BIO writes without MSG_NOSIGNAL: a peer that has gone would raise SIGPIPE
// and end the process. This BIO is the socket BIO with a write that sends with MSG_NOSIGNAL, so
// the write just fails as a plain send does.
int SendWithoutSignal(BIO* bio, const char* data, int length) {
    int socket = -1;
    BIO_get_fd(bio, &socket);
    BIO_clear_retry_flags(bio);
    ssize_t sent;
    do {
        sent = ::send(socket, data, static_cast<std::size_t>(std::max(length, 0)), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int PutsWithoutSignal(BIO* bio, const char* text) {
    return SendWithoutSignal(bio, text, static_cast<int>(std::strlen(text)));
}

const BIO_METHOD* SocketWithoutSignal() {
    static const BIO_METHOD* method = [] {
        const BIO_METHOD* socket = BIO_s_socket();
        BIO_METHOD* made = BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
        if (made == nullptr) return static_cast<BIO_METHOD*>(nullptr);
        BIO_meth_set_write(made, SendWithoutSignal);
        BIO_meth_set_puts(made, PutsWithoutSignal);
        BIO_meth_set_read(made, BIO_meth_get_read(socket));
        BIO_meth_set_ctrl(made, BIO_meth_get_ctrl(socket));
        BIO_meth_set_create(made, BIO_meth_get_create(socket));
        BIO_meth_set_destroy(made, BIO_meth_get_destroy(socket));
        return made;
    }();
    return method;
}

// A BIO on `socket` (left open when the BIO goes); null when none can be made.
BIO* SocketBio(int socket) {
    const BIO_METHOD* method = SocketWithoutSignal();
    BIO* bio = method == nullptr ? nullptr : BIO_new(method);
    if (bio != nullptr) BIO_set_fd(bio, socket, BIO_NOCLOSE);
    return bio;
}

}  // namespace

TlsSession::TlsSession(std::shared_ptr<const TlsContext> context, int socket, const std::string& peerName)
    : context_(std::move(context)) {
    ERR_clear_error();
    ssl_ = SSL_new(context_->Native());
    BIO* bio = ssl_ == nullptr ? nullptr : SocketBio(socket);
    if (bio == nullptr) {
        failure_ = TakeTlsErrors("cannot start a TLS session");
        broken_ = true;
        return;
    }
    SSL_set_bio(ssl_, bio, bio);  // the session owns the BIO
    if (context_->Role() == TlsRole::kServer) {
        SSL_set_accept_state(ssl_);
        return;
    }
    SSL_set_connect_state(ssl_);
    if (context_->VerifiesPeer()) ExpectPeerName(ssl_, peerName);
}

TlsSession::~TlsSession() {
    SSL_free(ssl_);
}

TlsStep TlsSession::Outcome(int result) {
    int error = SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_WANT_READ) return TlsStep::kWantRead;
    if (error == SSL_ERROR_WANT_WRITE) return TlsStep::kWantWrite;
    if (error == SSL_ERROR_ZERO_RETURN) {
        ERR_clear_error();
        return TlsStep::kClosed;
    }
    broken_ = true;
    long verification = SSL_get_verify_result(ssl_);
    if (verification != X509_V_OK) {
        failure_ = std::string("the peer's certificate is not accepted: ") +
                   X509_verify_cert_error_string(verification);
        ERR_clear_error();
        return TlsStep::kFailed;
    }
    if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
        // The connection ended without a TLS alert.
        int code = errno;
        failure_ = code == 0 || code == ECONNRESET || code == EPIPE ? "the peer closed the connection"
                                                                    : std::system_category().message(code);
        return code == 0 ? TlsStep::kClosed : TlsStep::kFailed;
    }
    failure_ = TakeTlsErrors("TLS failure");
    if (failure_ == "wrong version number" || failure_ == "packet length too long" ||
        failure_ == "http request")
        failure_.append(" (the peer does not speak TLS on this port)");
    return TlsStep::kFailed;
}

TlsStep TlsSession::Handshake() {
    if (broken_) return TlsStep::kFailed;
    ERR_clear_error();
    errno = 0;
    int result = SSL_do_handshake(ssl_);
    return result == 1 ? TlsStep::kDone : Outcome(result);
}

TlsStep TlsSession::Read(uint8_t* buffer, std::size_t capacity, std::size_t& got) {
    if (broken_) return TlsStep::kFailed;
    ERR_clear_error();
    errno = 0;
    int result = SSL_read_ex(ssl_, buffer, capacity, &got);
    return result == 1 ? TlsStep::kDone : Outcome(result);
}

TlsStep TlsSession::Write(const uint8_t* bytes, std::size_t count, std::size_t& written) {
    if (broken_) return TlsStep::kFailed;
    ERR_clear_error();
    errno = 0;
    int result = SSL_write_ex(ssl_, bytes, count, &written);
    return result == 1 ? TlsStep::kDone : Outcome(result);
}

bool TlsSession::HasPending() const {
    return ssl_ != nullptr && !broken_ && SSL_has_pending(ssl_) == 1;
}

void TlsSession::Shutdown() {
    if (ssl_ == nullptr || broken_) return;
    ERR_clear_error();
    if (SSL_is_init_finished(ssl_)) SSL_shutdown(ssl_);
    ERR_clear_error();
    broken_ = true;
}

std::string TlsSession::Description() const {
    if (ssl_ == nullptr) return {};
    return std::string(SSL_get_version(ssl_)).append(", ").append(SSL_get_cipher_name(ssl_));
}

}  // namespace pella
