#include "services/storage/user_credentials.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "data/anonymize/libcrypto_on_demand.h"
#include "data/io/safe_file_replace.h"
#include "services/storage/field_lines.h"

namespace pella {

namespace {

constexpr std::size_t kMaxCredentialsFileBytes = 1024 * 1024;
constexpr std::size_t kMaxUserName = 256;
constexpr unsigned kIterations = 100000;
constexpr unsigned kMaxIterations = 10000000;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr const char* kScheme = "pbkdf2-sha256";

std::string Hex(const std::vector<unsigned char>& bytes) {
    std::string text;
    char pair[3];
    for (unsigned char byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::optional<std::vector<unsigned char>> FromHex(const std::string& text) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > 256 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    for (std::size_t at = 0; at < text.size(); at += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoul(text.substr(at, 2), nullptr, 16)));
    return bytes;
}

std::vector<unsigned char> Derive(const std::string& password, const std::vector<unsigned char>& salt,
                                  unsigned iterations, std::size_t length) {
    std::vector<unsigned char> hash(length);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                          static_cast<int>(hash.size()), hash.data()) != 1)
        return {};
    return hash;
}

// Whether two byte strings of one length are equal, in a time that does not depend on where they
// differ.
bool SameBytes(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

// One line's fields as a user; false with `why` when they are not one.
bool ReadUser(const std::vector<std::string>& fields, UserEntry& user, std::string& why) {
    if (!IsValidUserName(fields[0])) {
        why = "the user name is empty, too long or holds a blank or '#'";
        return false;
    }
    user = UserEntry{fields[0], false, 0, {}, {}};
    if (fields.size() == 2 && fields[1] == "none") return true;
    if (fields.size() != 5 || fields[1] != kScheme) {
        why = "wants NAME none or NAME pbkdf2-sha256 ITERATIONS SALT HASH";
        return false;
    }
    const std::string& count = fields[2];
    if (count.empty() || count.size() > 8 || count.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(count) == 0 || std::stoul(count) > kMaxIterations) {
        why = "the iterations '" + count + "' are not a number from 1 to 10000000";
        return false;
    }
    auto salt = FromHex(fields[3]);
    auto hash = FromHex(fields[4]);
    if (!salt || !hash) {
        why = "the salt or hash is not hexadecimal of at most 128 bytes";
        return false;
    }
    user.hasPassword = true;
    user.iterations = static_cast<unsigned>(std::stoul(count));
    user.salt = std::move(*salt);
    user.hash = std::move(*hash);
    return true;
}

std::string EntryLine(const UserEntry& user) {
    if (!user.hasPassword) return user.name + " none\n";
    return user.name + " " + kScheme + " " + std::to_string(user.iterations) + " " + Hex(user.salt) + " " +
           Hex(user.hash) + "\n";
}

}  // namespace

bool IsValidUserName(const std::string& name) {
    if (name.empty() || name.size() > kMaxUserName) return false;
    for (unsigned char c : name)
        if (c <= 0x20 || c == 0x7F || c == '#') return false;
    return true;
}

const UserEntry* Credentials::Find(const std::string& name) const {
    for (const UserEntry& user : users)
        if (user.name == name) return &user;
    return nullptr;
}

bool Credentials::Admits(const UserIdentity& identity) const {
    const UserEntry* user = Find(identity.primaryField);
    if (!user) return false;
    if (identity.type == UserIdentity::kUsername) return !user->hasPassword;
    if (identity.type != UserIdentity::kUsernameAndPasscode || !user->hasPassword) return false;
    std::vector<unsigned char> hash =
        Derive(identity.secondaryField, user->salt, user->iterations, user->hash.size());
    return !hash.empty() && SameBytes(hash, user->hash);
}

bool ParseCredentials(const std::string& text, Credentials& credentials, std::string& why) {
    credentials.users.clear();
    return ForEachFieldLine(
        text,
        [&](const std::vector<std::string>& fields, std::string& problem) {
            UserEntry user;
            if (!ReadUser(fields, user, problem)) return false;
            if (credentials.Find(user.name)) {
                problem = "the user '" + user.name + "' is listed twice";
                return false;
            }
            credentials.users.push_back(std::move(user));
            return true;
        },
        why);
}

bool LoadCredentialsFile(const std::string& path, Credentials& credentials, std::string& why) {
    std::string text;
    if (!ReadBoundedTextFile(path, "credentials", kMaxCredentialsFileBytes, text, why)) return false;
    if (!ParseCredentials(text, credentials, why)) {
        why = path + ", " + why;
        return false;
    }
    // Passwords are checked with libcrypto: a server that could not check them fails at start.
    for (const UserEntry& user : credentials.users)
        if (user.hasPassword) return LibcryptoAvailable(why);
    return true;
}

std::optional<UserEntry> MakeUserEntry(const std::string& name, const std::optional<std::string>& password,
                                       std::string& why) {
    if (!IsValidUserName(name)) {
        why = "the user name must have 1 to 256 characters without blanks or '#'";
        return std::nullopt;
    }
    UserEntry user{name, false, 0, {}, {}};
    if (!password) return user;
    if (!LibcryptoAvailable(why)) return std::nullopt;
    user.hasPassword = true;
    user.iterations = kIterations;
    user.salt.resize(kSaltBytes);
    if (RAND_bytes(user.salt.data(), static_cast<int>(user.salt.size())) != 1) {
        why = "no random salt could be made";
        return std::nullopt;
    }
    user.hash = Derive(*password, user.salt, user.iterations, kHashBytes);
    if (user.hash.empty()) {
        why = "the password could not be hashed";
        return std::nullopt;
    }
    return user;
}

bool AddUserToFile(const std::string& path, const UserEntry& entry, std::string& why) {
    Credentials credentials;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !LoadCredentialsFile(path, credentials, why)) return false;
    bool replaced = false;
    for (UserEntry& user : credentials.users)
        if (user.name == entry.name) {
            user = entry;
            replaced = true;
        }
    if (!replaced) credentials.users.push_back(entry);
    std::string text;
    for (const UserEntry& user : credentials.users) text += EntryLine(user);
    bool written = ReplaceFileSafely(path, [&](const std::string& tempName) {
        std::ofstream out(tempName, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        // Hashes are still worth guarding: a new file is the owner's alone.
        return out.good() && (existing.st_ino != 0 || ::chmod(tempName.c_str(), 0600) == 0);
    });
    if (!written) why = "the credentials file " + path + " could not be written";
    return written;
}

}  // namespace pella
