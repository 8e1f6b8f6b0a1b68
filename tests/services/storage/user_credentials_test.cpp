// The credentials file of user identity negotiation: users added (with a salted hash, or by name
// alone), written back and read again, and each identity admitted or not.
#include "services/storage/user_credentials.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/temp_dir.h"

using namespace pella;

TEST(UserCredentials, AddedUsersAdmitTheirOwnIdentitiesOnly) {
    testing_support::TempDir dir;
    std::string path = dir.File("users.txt");
    std::string why;
    auto alice = MakeUserEntry("alice", std::string("s3cret"), why);
    auto bob = MakeUserEntry("bob", std::nullopt, why);
    ASSERT_TRUE(alice && bob) << why;
    ASSERT_TRUE(AddUserToFile(path, *alice, why)) << why;
    ASSERT_TRUE(AddUserToFile(path, *bob, why)) << why;
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    // A second alice with the same password has another salt, hence another hash.
    auto again = MakeUserEntry("alice", std::string("s3cret"), why);
    ASSERT_TRUE(again);
    EXPECT_NE(again->salt, alice->salt);
    EXPECT_NE(again->hash, alice->hash);

    Credentials users;
    ASSERT_TRUE(LoadCredentialsFile(path, users, why)) << why;
    ASSERT_EQ(users.users.size(), 2u);
    const struct {
        UserIdentity identity;
        bool admitted;
    } cases[] = {
        {{2, 0, "alice", "s3cret"}, true},
        {{2, 1, "alice", "s3cret "}, false},
        {{2, 0, "alice", ""}, false},
        {{1, 0, "alice", ""}, false},  // a user with a password never gets in by name alone
        {{1, 0, "bob", ""}, true},
        {{2, 0, "bob", "anything"}, false},
        {{2, 0, "carol", "s3cret"}, false},
        {{5, 0, "alice", "s3cret"}, false},  // a JSON web token is not checked here
    };
    for (const auto& c : cases)
        EXPECT_EQ(users.Admits(c.identity), c.admitted)
            << int(c.identity.type) << " " << c.identity.primaryField << "/" << c.identity.secondaryField;

    // Replacing alice's password: the old one no longer admits her, bob stays.
    auto changed = MakeUserEntry("alice", std::string("n3w"), why);
    ASSERT_TRUE(changed && AddUserToFile(path, *changed, why)) << why;
    ASSERT_TRUE(LoadCredentialsFile(path, users, why)) << why;
    EXPECT_EQ(users.users.size(), 2u);
    EXPECT_FALSE(users.Admits({2, 0, "alice", "s3cret"}));
    EXPECT_TRUE(users.Admits({2, 0, "alice", "n3w"}));
    EXPECT_TRUE(users.Admits({1, 0, "bob", ""}));
}

TEST(UserCredentials, FilesThatCannotBeReadAreRefused) {
    const struct {
        const char* text;
        const char* reason;
    } refused[] = {
        {"alice\n", "line 1: wants NAME none"},
        {"alice pbkdf2-sha256 0 00 00\n", "line 1: the iterations '0'"},
        {"alice pbkdf2-sha256 99999999 00 00\n", "line 1: the iterations"},
        {"alice pbkdf2-sha256 10 0g 00\n", "line 1: the salt or hash"},
        {"alice md5 10 00 00\n", "line 1: wants NAME none"},
        {"bob none\nbob none\n", "line 2: the user 'bob' is listed twice"},
    };
    for (const auto& r : refused) {
        Credentials users;
        std::string why;
        EXPECT_FALSE(ParseCredentials(r.text, users, why)) << r.text;
        EXPECT_EQ(why.rfind(r.reason, 0), 0u) << r.text << " gave: " << why;
    }
    std::string why;
    EXPECT_FALSE(MakeUserEntry("two words", std::nullopt, why));
    EXPECT_FALSE(MakeUserEntry("", std::nullopt, why));
}
