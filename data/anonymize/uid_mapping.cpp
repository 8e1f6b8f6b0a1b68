#include "data/anonymize/uid_mapping.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

#include "data/anonymize/libcrypto_on_demand.h"
#include "data/anonymize/value_parts.h"
#include "data/registry/uid.h"

namespace pella {

namespace {

unsigned __int128 KeyedDigest128(std::string_view text, std::string_view key) {
    std::string reason;
    if (!LibcryptoAvailable(reason)) throw std::runtime_error(reason);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length) == nullptr ||
        length < 16)
        throw std::runtime_error("HMAC-SHA256 is not available");
    unsigned __int128 number = 0;
    for (int i = 0; i < 16; ++i) number = (number << 8) | digest[i];
    return number;
}

std::string Decimal(unsigned __int128 number) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(number % 10)));
        number /= 10;
    } while (number != 0);
    return digits;
}

}  // namespace

std::string MappedUid(std::string_view uid, std::string_view key) {
    return "2.25." + Decimal(KeyedDigest128(WithoutUidPadding(uid), key));
}

std::string MappedUidValue(std::string_view value, std::string_view key) {
    return *ChangeEachValue(
        value, '\0', [&](std::string_view one) -> std::optional<std::string> { return MappedUid(one, key); });
}

}  // namespace pella
