// The users a server admits by user identity negotiation, kept in a credentials file: one user a
// line, "NAME pbkdf2-sha256 ITERATIONS SALT HASH" (salt and hash in hexadecimal, PBKDF2 with
// HMAC-SHA256) or "NAME none" for a user known by name alone; "#" starts a comment.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/pdu/pdu_items.h"

namespace pella {

struct UserEntry {
    std::string name;
    bool hasPassword = false;
    unsigned iterations = 0;
    std::vector<unsigned char> salt;
    std::vector<unsigned char> hash;
};

struct Credentials {
    std::vector<UserEntry> users;

    const UserEntry* Find(const std::string& name) const;
    // True when the identity names a known user: a username alone for a user without a
    // password, a username and the right passcode for one with a password. Other identity types
    // (Kerberos, SAML, JSON web token) are not admitted.
    bool Admits(const UserIdentity& identity) const;
};

// A user name that a credentials file can hold: 1 to 256 bytes, no blank, control character or "#".
bool IsValidUserName(const std::string& name);

// Reads the text of a credentials file; false with `why` naming the line when it cannot.
bool ParseCredentials(const std::string& text, Credentials& credentials, std::string& why);

// Reads the file (at most 1 MiB); false with `why` when it cannot be read or parsed.
bool LoadCredentialsFile(const std::string& path, Credentials& credentials, std::string& why);

// The entry of a new user: a fresh random salt and the password's hash, or none without one.
std::optional<UserEntry> MakeUserEntry(const std::string& name, const std::optional<std::string>& password,
                                       std::string& why);

// Adds the user to the file (made when missing, owner-only) or replaces its entry; the file is
// replaced whole, so that a reader never sees half of it. False with `why` when it cannot.
bool AddUserToFile(const std::string& path, const UserEntry& entry, std::string& why);

}  // namespace pella
