#include "data/registry/uid.h"

#include <gtest/gtest.h>

#include <string>

namespace pella {
namespace {

TEST(ValidUid, OneRuleForEveryUid) {
    const std::pair<std::string, bool> cases[] = {
        {"1", true},
        {"1.2.840.10008.5.1.4.1.1.2", true},
        {"0.0.0", true},
        {std::string(64, '1'), true},
        {std::string(64, '1') + std::string(1, '\0'), true},  // padding byte does not count
        {"1.2.3" + std::string(1, '\0'), true},
        {"1.2.3 ", true},
        {std::string(65, '1'), false},
        {"", false},
        {std::string(1, '\0'), false},
        {" ", false},
        {".", false},
        {"..", false},
        {"1..2", false},
        {".1.2", false},
        {"1.2.", false},
        {"1.2 3", false},
        {"1.2.3  ", false},                  // only one pad character is removed
        {std::string("1.2\0.3", 6), false},  // embedded zero byte
        {"1.2.3\n", false},
        {"1.2.3\t", false},
        {"1.2.3a", false},
        {"../x", false},
        {"1/2", false},
        {"-1.2", false},
        {"1.0.3", true},
        {"0", true},
        {"10.20.300", true},
        {"01.2.3", false},  // a component may start with zero only when it is "0"
        {"1.02.3", false},
        {"1.2.03", false},
        {"00", false},
        {"1.00.3", false},
        {std::string("1.2.3\0/../../x", 14), false},  // nothing may follow an inner zero byte
        {std::string("1.2.3\0\0", 7), false},
        {std::string("1.2.3\0 ", 7), false},
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(IsValidUid(text), valid) << "'" << text << "'";
}

}  // namespace
}  // namespace pella
