#include "net/transport/libssl_on_demand.h"

#include <openssl/ssl.h>

#include "data/anonymize/libcrypto_on_demand.h"
#include "log/library_on_demand.h"

namespace pella {
namespace {

PELLA_LIBRARY_ON_DEMAND(Libssl, "libssl.so.3", LibsslAvailable, "OpenSSL")

}  // namespace

bool OpenSslAvailable(std::string& reason) {
    return LibsslAvailable(reason) && LibcryptoAvailable(reason);
}

}  // namespace pella

#define PELLA_LIBSSL_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Libssl(), Result, name, parameters, arguments)

// Contexts.
PELLA_LIBSSL_FORWARD(const SSL_METHOD*, TLS_client_method, (void), ())
PELLA_LIBSSL_FORWARD(const SSL_METHOD*, TLS_server_method, (void), ())
PELLA_LIBSSL_FORWARD(SSL_CTX*, SSL_CTX_new, (const SSL_METHOD* meth), (meth))
PELLA_LIBSSL_FORWARD(void, SSL_CTX_free, (SSL_CTX * ctx), (ctx))
PELLA_LIBSSL_FORWARD(long, SSL_CTX_ctrl, (SSL_CTX * ctx, int cmd, long larg, void* parg),
                     (ctx, cmd, larg, parg))
PELLA_LIBSSL_FORWARD(uint64_t, SSL_CTX_set_options, (SSL_CTX * ctx, uint64_t op), (ctx, op))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_set_cipher_list, (SSL_CTX * ctx, const char* str), (ctx, str))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_set_ciphersuites, (SSL_CTX * ctx, const char* str), (ctx, str))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_set_num_tickets, (SSL_CTX * ctx, size_t num_tickets), (ctx, num_tickets))
PELLA_LIBSSL_FORWARD(void, SSL_CTX_set_default_read_buffer_len, (SSL_CTX * ctx, size_t len), (ctx, len))
PELLA_LIBSSL_FORWARD(void, SSL_CTX_set_default_passwd_cb, (SSL_CTX * ctx, pem_password_cb* cb), (ctx, cb))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_use_certificate_chain_file, (SSL_CTX * ctx, const char* file), (ctx, file))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_use_PrivateKey_file, (SSL_CTX * ctx, const char* file, int type),
                     (ctx, file, type))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_check_private_key, (const SSL_CTX* ctx), (ctx))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_load_verify_locations,
                     (SSL_CTX * ctx, const char* CAfile, const char* CApath), (ctx, CAfile, CApath))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_set_default_verify_paths, (SSL_CTX * ctx), (ctx))
PELLA_LIBSSL_FORWARD(STACK_OF(X509_NAME) *, SSL_load_client_CA_file, (const char* file), (file))
PELLA_LIBSSL_FORWARD(void, SSL_CTX_set_client_CA_list, (SSL_CTX * ctx, STACK_OF(X509_NAME) * name_list),
                     (ctx, name_list))
PELLA_LIBSSL_FORWARD(void, SSL_CTX_set_verify, (SSL_CTX * ctx, int mode, SSL_verify_cb callback),
                     (ctx, mode, callback))
PELLA_LIBSSL_FORWARD(int, SSL_CTX_get_verify_mode, (const SSL_CTX* ctx), (ctx))

// Connections.
PELLA_LIBSSL_FORWARD(SSL*, SSL_new, (SSL_CTX * ctx), (ctx))
PELLA_LIBSSL_FORWARD(void, SSL_free, (SSL * ssl), (ssl))
PELLA_LIBSSL_FORWARD(long, SSL_ctrl, (SSL * ssl, int cmd, long larg, void* parg), (ssl, cmd, larg, parg))
PELLA_LIBSSL_FORWARD(X509_VERIFY_PARAM*, SSL_get0_param, (SSL * ssl), (ssl))
PELLA_LIBSSL_FORWARD(int, SSL_set1_host, (SSL * s, const char* hostname), (s, hostname))
PELLA_LIBSSL_FORWARD(void, SSL_set_bio, (SSL * s, BIO* rbio, BIO* wbio), (s, rbio, wbio))
PELLA_LIBSSL_FORWARD(void, SSL_set_accept_state, (SSL * s), (s))
PELLA_LIBSSL_FORWARD(void, SSL_set_connect_state, (SSL * s), (s))
PELLA_LIBSSL_FORWARD(int, SSL_do_handshake, (SSL * s), (s))
PELLA_LIBSSL_FORWARD(int, SSL_is_init_finished, (const SSL* s), (s))
PELLA_LIBSSL_FORWARD(int, SSL_read_ex, (SSL * ssl, void* buf, size_t num, size_t* readbytes),
                     (ssl, buf, num, readbytes))
PELLA_LIBSSL_FORWARD(int, SSL_write_ex, (SSL * s, const void* buf, size_t num, size_t* written),
                     (s, buf, num, written))
PELLA_LIBSSL_FORWARD(int, SSL_has_pending, (const SSL* s), (s))
PELLA_LIBSSL_FORWARD(int, SSL_shutdown, (SSL * s), (s))
PELLA_LIBSSL_FORWARD(int, SSL_get_error, (const SSL* s, int ret_code), (s, ret_code))
PELLA_LIBSSL_FORWARD(long, SSL_get_verify_result, (const SSL* ssl), (ssl))
PELLA_LIBSSL_FORWARD(const char*, SSL_get_version, (const SSL* s), (s))
PELLA_LIBSSL_FORWARD(const SSL_CIPHER*, SSL_get_current_cipher, (const SSL* s), (s))
PELLA_LIBSSL_FORWARD(const char*, SSL_CIPHER_get_name, (const SSL_CIPHER* c), (c))
