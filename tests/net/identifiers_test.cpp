#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "net/command_set.h"
#include "net/identifiers.h"

using namespace pella;

TEST(Identifiers, ContextOneThenOddMessageIDs) {
    ResetIdentifiers();
    EXPECT_EQ(NextContextID(), 1);
    EXPECT_EQ(NextMessageID(), 3);
    EXPECT_EQ(NextMessageID(), 5);
    EXPECT_EQ(TakeIdentifier(), 6);  // no odd step, moves the counter on
    EXPECT_EQ(NextMessageID(), 7);
    EXPECT_EQ(TakeIdentifier(), 8);
    EXPECT_EQ(TakeIdentifier(), 9);
    EXPECT_EQ(NextMessageID(), 11);  // 10 is rounded up to the next odd value
}

TEST(Identifiers, DrawsFromSeveralThreadsNeverRepeat) {
    ResetIdentifiers();
    std::vector<std::vector<uint16_t>> drawn(4);
    std::vector<std::thread> threads;
    for (auto& ids : drawn)
        threads.emplace_back([&ids] {
            for (int i = 0; i < 2000; ++i) ids.push_back(NextMessageID());
        });
    for (auto& t : threads) t.join();
    std::set<uint16_t> all;
    for (const auto& ids : drawn)
        for (uint16_t id : ids) {
            EXPECT_EQ(id % 2, 1);
            all.insert(id);
        }
    EXPECT_EQ(all.size(), 8000u);
}

TEST(CommandSet, GroupLengthCountsTheImplicitEncodingOfTheRest) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, "1.2.840.10008.1.1");
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRQ);
    AppendUS(command, 0x0000, kTagMessageID, 3);
    AppendUS(command, 0x0000, kTagDataSetType, kNoDataSet);
    PrependCommandGroupLength(command);
    ASSERT_EQ(command.size(), 5u);
    EXPECT_EQ(command[0].element, 0x0000);
    EXPECT_EQ(command[1].length, 18);  // 17 characters and a zero byte
    EXPECT_EQ(command[1].value[17], 0);
    // 18 + 8 for the UID, three US elements of 10 bytes: 56 = 0x38
    const uint8_t expected[4] = {0x38, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(command[0].value, command[0].value + 4),
              std::vector<uint8_t>(expected, expected + 4));
}
