#include "data/anonymize/libcrypto_on_demand.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Libcrypto, "libcrypto.so.3", LibcryptoAvailable, "OpenSSL")

// The callbacks of a BIO method, as its getters give them back.
using BioCreate = int (*)(BIO*);
using BioDestroy = int (*)(BIO*);
using BioRead = int (*)(BIO*, char*, int);
using BioCtrl = long (*)(BIO*, int, long, void*);

}  // namespace pella

#define PELLA_LIBCRYPTO_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Libcrypto(), Result, name, parameters, arguments)

// Keyed hashes, password hashes and random bytes.
PELLA_LIBCRYPTO_FORWARD(const EVP_MD*, EVP_sha256, (void), ())
PELLA_LIBCRYPTO_FORWARD(unsigned char*, HMAC,
                        (const EVP_MD* evp_md, const void* key, int key_len, const unsigned char* data,
                         size_t data_len, unsigned char* md, unsigned int* md_len),
                        (evp_md, key, key_len, data, data_len, md, md_len))
PELLA_LIBCRYPTO_FORWARD(int, PKCS5_PBKDF2_HMAC,
                        (const char* pass, int passlen, const unsigned char* salt, int saltlen, int iter,
                         const EVP_MD* digest, int keylen, unsigned char* out),
                        (pass, passlen, salt, saltlen, iter, digest, keylen, out))
PELLA_LIBCRYPTO_FORWARD(int, RAND_bytes, (unsigned char* buf, int num), (buf, num))

// The error queue.
PELLA_LIBCRYPTO_FORWARD(void, ERR_clear_error, (void), ())
PELLA_LIBCRYPTO_FORWARD(unsigned long, ERR_get_error, (void), ())
PELLA_LIBCRYPTO_FORWARD(unsigned long, ERR_peek_error, (void), ())
PELLA_LIBCRYPTO_FORWARD(void, ERR_error_string_n, (unsigned long e, char* buf, size_t len), (e, buf, len))
PELLA_LIBCRYPTO_FORWARD(const char*, ERR_reason_error_string, (unsigned long e), (e))

// Certificates: a peer's address as its expected identity, and the reason a chain was refused.
PELLA_LIBCRYPTO_FORWARD(int, X509_VERIFY_PARAM_set1_ip_asc, (X509_VERIFY_PARAM * param, const char* ipasc),
                        (param, ipasc))
PELLA_LIBCRYPTO_FORWARD(const char*, X509_verify_cert_error_string, (long n), (n))

// The socket BIO that TLS connections read and write through.
PELLA_LIBCRYPTO_FORWARD(BIO*, BIO_new, (const BIO_METHOD* type), (type))
PELLA_LIBCRYPTO_FORWARD(const BIO_METHOD*, BIO_s_socket, (void), ())
PELLA_LIBCRYPTO_FORWARD(long, BIO_ctrl, (BIO * bp, int cmd, long larg, void* parg), (bp, cmd, larg, parg))
PELLA_LIBCRYPTO_FORWARD(long, BIO_int_ctrl, (BIO * bp, int cmd, long larg, int iarg), (bp, cmd, larg, iarg))
PELLA_LIBCRYPTO_FORWARD(void, BIO_set_flags, (BIO * b, int flags), (b, flags))
PELLA_LIBCRYPTO_FORWARD(void, BIO_clear_flags, (BIO * b, int flags), (b, flags))
PELLA_LIBCRYPTO_FORWARD(BIO_METHOD*, BIO_meth_new, (int type, const char* name), (type, name))
PELLA_LIBCRYPTO_FORWARD(pella::BioCreate, BIO_meth_get_create, (const BIO_METHOD* bion), (bion))
PELLA_LIBCRYPTO_FORWARD(pella::BioDestroy, BIO_meth_get_destroy, (const BIO_METHOD* biom), (biom))
PELLA_LIBCRYPTO_FORWARD(pella::BioRead, BIO_meth_get_read, (const BIO_METHOD* biom), (biom))
PELLA_LIBCRYPTO_FORWARD(pella::BioCtrl, BIO_meth_get_ctrl, (const BIO_METHOD* biom), (biom))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_create, (BIO_METHOD * biom, int (*create)(BIO*)), (biom, create))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_destroy, (BIO_METHOD * biom, int (*destroy)(BIO*)), (biom, destroy))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_read, (BIO_METHOD * biom, int (*read)(BIO*, char*, int)),
                        (biom, read))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_write, (BIO_METHOD * biom, int (*write)(BIO*, const char*, int)),
                        (biom, write))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_puts, (BIO_METHOD * biom, int (*puts)(BIO*, const char*)),
                        (biom, puts))
PELLA_LIBCRYPTO_FORWARD(int, BIO_meth_set_ctrl, (BIO_METHOD * biom, long (*ctrl)(BIO*, int, long, void*)),
                        (biom, ctrl))
