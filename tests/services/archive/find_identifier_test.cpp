#include "services/archive/find_identifier.h"

#include <gtest/gtest.h>

#include "data/registry/transfer_syntaxes.h"
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
        {"PATIENT", QueryModel::kPatientRoot, true}, {"PATIENT", QueryModel::kStudyRoot, false},
        {"STUDY", QueryModel::kStudyRoot, true},     {"SERIES", QueryModel::kPatientRoot, true},
        {"IMAGE", QueryModel::kStudyRoot, true},     {"FRAME", QueryModel::kStudyRoot, false},
        {"", QueryModel::kStudyRoot, false},         {"study", QueryModel::kStudyRoot, false},
    };
    for (const Case& c : cases) {
        ElementList identifier;
        AddText(identifier, 0x0008, 0x0005, "CS", "ISO_IR 100");
        if (*c.level) AddText(identifier, 0x0008, 0x0052, "CS", c.level);
        AddText(identifier, 0x0010, 0x0010, "PN", "Doe*");
        AddText(identifier, 0x0020, 0x000D, "UI", "");
        IndexQuery query;
        std::string why;
        EXPECT_EQ(c.accepted, ReadFindIdentifier(identifier, c.model, kExplicitLittleEndian, query, why))
            << c.level;
        if (!c.accepted) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        ASSERT_EQ(2u, query.keys.size()) << "the character set and the level are no keys";
        EXPECT_EQ("Doe*", query.keys[0].value);
        EXPECT_EQ(0x000Du, query.keys[1].element);
    }
}

TEST(FindIdentifier, ASequenceKeyIsFollowedByTheKeysOfItsItemInEveryEncoding) {
    struct Case {
        const char* what;
        bool definedLength;
        const char* syntax;
    };
    const Case cases[] = {
        {"flat, undefined lengths", false, kExplicitLittleEndian},
        {"defined length, explicit VR", true, kExplicitLittleEndian},
        {"defined length, implicit VR", true, kImplicitLittleEndian},
    };
    for (const Case& c : cases) {
        ElementList item;
        AddText(item, 0x0040, 0x0009, "SH", "SPS1");
        AddText(item, 0x0040, 0x1001, "SH", "RP*");
        ElementList identifier;
        AddText(identifier, 0x0008, 0x0052, "CS", "SERIES");
        AddText(identifier, 0x0020, 0x000E, "UI", "");
        testing_support::AddSequence(identifier, 0x0040, 0x0275, item, c.definedLength,
                                     c.syntax == std::string(kExplicitLittleEndian));
        IndexQuery query;
        std::string why;
        ASSERT_TRUE(ReadFindIdentifier(identifier, QueryModel::kStudyRoot, c.syntax, query, why)) << why;
        ASSERT_EQ(4u, query.keys.size()) << c.what;
        EXPECT_TRUE(query.keys[1].sequence) << c.what;
        EXPECT_EQ(0x0275u, query.keys[1].element);
        EXPECT_EQ("SPS1", query.keys[2].value) << c.what;
        EXPECT_EQ("RP*", query.keys[3].value) << c.what;
        EXPECT_EQ(0x0275u, query.keys[3].sequenceElement) << c.what;
    }
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

TEST(FindIdentifier, ASequenceKeyAnswersOneItemOrNoneWhenItHasNoValue) {
    IndexQuery query{ArchiveLevel::Series,
                     {{0x0040, 0x0275, "", 0, 0, true},
                      {0x0040, 0x1001, "", 0x0040, 0x0275},
                      {0x0040, 0x0009, "", 0x0040, 0x0275},
                      {0x0008, 0x1032, "", 0, 0, true},
                      {0x0008, 0x0100, "", 0x0008, 0x1032},
                      {0x0020, 0x000E, ""}}};
    QueryRow row{{"", "RP7", "SPS1", "", "", "1.2"}, ""};
    ElementList match = MatchIdentifier(query, row, "ARCHIVE");
    std::vector<uint32_t> tags;
    for (const auto& element : match) tags.push_back(uint32_t(element->group) << 16 | element->element);
    const std::vector<uint32_t> expected = {
        0x00080052, 0x00080054, 0x00081032, 0xFFFEE0DD,  // no item: nothing known of it
        0x0020000E, 0x00400275, 0xFFFEE000, 0x00400009, 0x00401001, 0xFFFEE00D, 0xFFFEE0DD,
    };
    EXPECT_EQ(expected, tags);
    const DataElement* procedure = FindNestedElement(match, 0x0040, 0x1001);
    ASSERT_NE(nullptr, procedure);
    EXPECT_EQ("RP7 ", std::string(reinterpret_cast<const char*>(procedure->value), procedure->length));
}

}  // namespace
}  // namespace pella
