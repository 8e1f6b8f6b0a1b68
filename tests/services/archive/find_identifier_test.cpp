#include "services/archive/find_identifier.h"

#include <gtest/gtest.h>

#include "support/data_set_builder.h"

namespace pella {
namespace {

using testing_support::AddText;

TEST(FindIdentifier, ReadsTheLevelAndKeysAndRefusesWhatTheModelLacks) {
    struct Case {
        const char* level;
        QueryModel model;
        bool accepted;
    };
    const Case cases[] = {
        {"PATIENT", QueryModel::PatientRoot, true}, {"PATIENT", QueryModel::StudyRoot, false},
        {"STUDY", QueryModel::StudyRoot, true},     {"SERIES", QueryModel::PatientRoot, true},
        {"IMAGE", QueryModel::StudyRoot, true},     {"FRAME", QueryModel::StudyRoot, false},
        {"", QueryModel::StudyRoot, false},         {"study", QueryModel::StudyRoot, false},
    };
    for (const Case& c : cases) {
        ElementList identifier;
        AddText(identifier, 0x0008, 0x0005, "CS", "ISO_IR 100");
        if (*c.level) AddText(identifier, 0x0008, 0x0052, "CS", c.level);
        AddText(identifier, 0x0010, 0x0010, "PN", "Doe*");
        AddText(identifier, 0x0020, 0x000D, "UI", "");
        IndexQuery query;
        std::string why;
        EXPECT_EQ(c.accepted, ReadFindIdentifier(identifier, c.model, query, why)) << c.level;
        if (!c.accepted) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        ASSERT_EQ(2u, query.keys.size()) << "the character set and the level are no keys";
        EXPECT_EQ("Doe*", query.keys[0].value);
        EXPECT_EQ(0x000Du, query.keys[1].element);
    }
}

TEST(FindIdentifier, SequencesAndTheirItemsAreNoKeys) {
    ElementList identifier;
    AddText(identifier, 0x0008, 0x0052, "CS", "STUDY");
    identifier.Append(NewElement(0x0008, 0x1110, kUndefinedLength, nullptr, "SQ"));
    identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    AddText(identifier, 0x0008, 0x1150, "UI", "1.2.3");
    identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    AddText(identifier, 0x0020, 0x000D, "UI", "1.2");
    IndexQuery query;
    std::string why;
    ASSERT_TRUE(ReadFindIdentifier(identifier, QueryModel::StudyRoot, query, why)) << why;
    ASSERT_EQ(1u, query.keys.size());
    EXPECT_EQ("1.2", query.keys[0].value);
}

TEST(FindIdentifier, AMatchHoldsEveryKeyInTagOrderWithEvenLengths) {
    IndexQuery query{
        ArchiveLevel::Study,
        {{0x0020, 0x000D, ""}, {0x0010, 0x0010, ""}, {0x0028, 0x0010, ""}, {0x0008, 0x0020, ""}}};
    QueryRow row{{"1.2.345", "Doe^John", "512", "20240101"}, "ISO_IR 192"};
    ElementList match = MatchIdentifier(query, row, "ARCHIVE");
    std::vector<std::pair<uint32_t, std::string>> got;
    for (const auto& element : match) {
        EXPECT_EQ(0, element->length % 2);
        got.push_back({uint32_t(element->group) << 16 | element->element,
                       GetElementText(match, element->group, element->element)});
    }
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0x00080005, "ISO_IR 192"}, {0x00080020, "20240101"}, {0x00080052, "STUDY"}, {0x00080054, "ARCHIVE"},
        {0x00100010, "Doe^John"},   {0x0020000D, "1.2.345"},  {0x00280010, ""},  // Rows is binary: empty
    };
    EXPECT_EQ(expected, got);
}

}  // namespace
}  // namespace pella
