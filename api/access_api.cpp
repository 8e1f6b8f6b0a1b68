// Exported functions of user identity: the identity this process presents, and the users a
// storage server admits.
#include <cstring>
#include <optional>
#include <string>

#include "api/boundary.h"
#include "log/protocol_log.h"
#include "net/acse/client_identity.h"
#include "pella.h"
#include "services/storage/user_credentials.h"

using namespace pella;

namespace {

constexpr std::size_t kMaxIdentityText = 1024;

}  // namespace

extern "C" {

PELLA_API uint8_t SetAssociationUser(const char* user, const char* password) {
    return Guarded<uint8_t>("SetAssociationUser", 0, [&]() -> uint8_t {
        if (user == nullptr || user[0] == '\0') {
            SetClientIdentity(std::nullopt);
            return 1;
        }
        if (std::strlen(user) > kMaxIdentityText || (password && std::strlen(password) > kMaxIdentityText)) {
            LogFailure("SetAssociationUser: a user or password longer than 1024 bytes");
            return 0;
        }
        UserIdentity identity;
        identity.type = password ? UserIdentity::kUsernameAndPasscode : UserIdentity::kUsername;
        identity.primaryField = user;
        if (password) identity.secondaryField = password;
        SetClientIdentity(identity);
        return 1;
    });
}

PELLA_API uint8_t AddServerUser(const char* credentialsFile, const char* user, const char* password) {
    return Guarded<uint8_t>("AddServerUser", 0, [&]() -> uint8_t {
        if (credentialsFile == nullptr || credentialsFile[0] == '\0' || user == nullptr) {
            LogFailure("AddServerUser: no credentials file or user");
            return 0;
        }
        std::string why;
        std::optional<std::string> secret;
        if (password) secret = password;
        std::optional<UserEntry> entry = MakeUserEntry(user, secret, why);
        if (!entry || !AddUserToFile(credentialsFile, *entry, why)) {
            LogFailure("AddServerUser: " + why);
            return 0;
        }
        return 1;
    });
}

}  // extern "C"
