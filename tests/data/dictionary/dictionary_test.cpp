// The built-in dictionary table and its lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "data/dictionary/dictionary.h"

using namespace pella;

namespace {

struct Row {
    uint16_t group;
    uint16_t element;
    const char* vr;
    const char* name;
};

ElementPtr Element(uint16_t group, uint16_t element, const char* vr = nullptr) {
    return NewElement(group, element, 0, nullptr, vr);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(DictionaryTable, HoldsTheTellingRows) {
    const Row rows[] = {
        {0x0000, 0x0000, "UL", "Group Length"},
        {0x0000, 0x0002, "UI", "Affected SOP Class UID"},
        {0x0000, 0x0100, "US", "Command Field"},
        {0x0002, 0x0000, "UL", "Group Length"},
        {0x0002, 0x0010, "UI", "Transfer Syntax UID"},
        {0x0002, 0x0013, "SH", "Implementation Version Name"},
        {0x0004, 0x1220, "SQ", "Directory Record Sequence"},
        {0x0004, 0x1504, "UL", "MRDR Directory Record Offset (RET)"},
        {0x0008, 0x0010, "SH", "Recognition Code (RET)"},
        {0x0010, 0x0010, "PN", "Patient's Name"},
        {0x0010, 0x1010, "AS", "Patient's Age"},
        {0x0028, 0x0010, "US", "Rows"},
        {0x0028, 0x0106, "SS", "Smallest Image Pixel Value"},
        {0x0028, 0x0107, "SS", "Largest Image Pixel Value"},
        {0x0028, 0x3006, "US", "LUT Data"},
        {0x0040, 0xE010, "UR", "Retrieve URI"},
        {0x2200, 0x0002, "UT", "Label Text"},
        {0x5000, 0x3000, "OW", "Curve Data (RET)"},
        {0x5400, 0x1010, "OW", "Waveform Data"},
        {0x5600, 0x0020, "OF", "Spectroscopy Data"},
        {0x6000, 0x3000, "OW", "Overlay Data"},
        {0x7FE0, 0x0010, "OW", "Pixel Data"},
        {0xFFFA, 0xFFFA, "SQ", "Digital Signatures Sequence"},
        {0xFFFC, 0xFFFC, "OB", "Data Set Trailing Padding"},
        {0xFFFE, 0xE000, "DL", "Item"},
        {0xFFFE, 0xE00D, "DL", "Item Delimitation Item"},
        {0xFFFE, 0xE0DD, "DL", "Sequence Delimitation Item"},
    };
    for (const Row& row : rows) {
        const DictionaryEntry* entry = FindDictionaryEntry(row.group, row.element);
        ASSERT_NE(entry, nullptr) << std::hex << row.group << "," << row.element;
        EXPECT_STREQ(entry->vr, row.vr) << row.name;
        EXPECT_STREQ(entry->name, row.name);
    }
}

TEST(DictionaryTable, IsSortedAndEndsWithTheItemRows) {
    auto table = DictionaryTable();
    ASSERT_GT(table.size(), 4000u);  // a current edition of the standard
    for (std::size_t i = 1; i < table.size(); ++i) {
        uint32_t before = (uint32_t{table[i - 1].group} << 16) | table[i - 1].element;
        uint32_t tag = (uint32_t{table[i].group} << 16) | table[i].element;
        ASSERT_LT(before, tag) << "row " << i;
    }
    const auto& last = table[table.size() - 1];
    EXPECT_EQ(last.group, 0xFFFE);
    EXPECT_EQ(last.element, 0xE0DD);
    EXPECT_EQ(table[table.size() - 5].group, 0xFFFA);
    EXPECT_EQ(table[table.size() - 4].group, 0xFFFC);
}

TEST(DictionaryTable, EveryRowHasOneVRAndAStandardName) {
    static const std::set<std::string> known = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FL", "FD",
                                                "IS", "LO", "LT", "OB", "OD", "OF", "OL", "OV", "OW",
                                                "PN", "SH", "SL", "SQ", "SS", "ST", "SV", "TM", "UC",
                                                "UI", "UL", "UN", "UR", "US", "UT", "UV", "DL"};
    int retired = 0;
    for (const DictionaryEntry& entry : DictionaryTable()) {
        EXPECT_EQ(std::strlen(entry.vr), 2u);
        EXPECT_EQ(entry.vr[2], '\0');
        EXPECT_EQ(entry.vr[3], '\0');
        EXPECT_TRUE(known.count(entry.vr)) << entry.vr << " " << entry.name;
        std::string name = entry.name;
        EXPECT_FALSE(name.empty());
        EXPECT_FALSE(EndsWith(name, " or")) << name;
        EXPECT_EQ(name.find(" or US"), std::string::npos) << name;
        EXPECT_EQ(name.find(" or OB"), std::string::npos) << name;
        if (EndsWith(name, " (RET)")) ++retired;
        if (entry.element == 0x0000) {
            EXPECT_STREQ(entry.vr, "UL");
            EXPECT_EQ(name, "Group Length");
        }
    }
    EXPECT_GT(retired, 227);  // at least the retired rows of older editions
}

TEST(DictionaryTable, EveryDataGroupHasItsGroupLengthRow) {
    std::set<uint16_t> groups;
    for (const DictionaryEntry& entry : DictionaryTable()) groups.insert(entry.group);
    EXPECT_GE(groups.size(), 53u);
    for (uint16_t group : groups) {
        bool special = group == 0xFFFA || group == 0xFFFC || group == 0xFFFE;
        EXPECT_EQ(FindDictionaryEntry(group, 0x0000) != nullptr, !special) << std::hex << group;
    }
}

TEST(DictionaryTable, RepeatingGroupsOnlyAtTheirBaseGroup) {
    EXPECT_NE(FindDictionaryEntry(0x6000, 0x3000), nullptr);
    EXPECT_NE(FindDictionaryEntry(0x5000, 0x0005), nullptr);
    EXPECT_NE(FindDictionaryEntry(0x7F00, 0x0010), nullptr);
    EXPECT_EQ(FindDictionaryEntry(0x6002, 0x3000), nullptr);
    EXPECT_EQ(FindDictionaryEntry(0x501E, 0x0005), nullptr);
    EXPECT_EQ(FindDictionaryEntry(0x0009, 0x0010), nullptr);  // private
    EXPECT_EQ(FindDictionaryEntry(0xFFFF, 0xFFFF), nullptr);
    EXPECT_EQ(FindDictionaryEntry(0x0000, 0x0001)->name, std::string("Command Length to End (RET)"));
}

TEST(DictionaryLookup, LookupVRSetsTheTableVROrUN) {
    ElementPtr rows = Element(0x0028, 0x0010);
    LookupVR(*rows);
    EXPECT_STREQ(rows->vr, "US");
    ElementPtr item = Element(0xFFFE, 0xE000, "XX");
    LookupVR(*item);
    EXPECT_STREQ(item->vr, "DL");
    ElementPtr unknown = Element(0x6002, 0x3000, "OW");
    LookupVR(*unknown);
    EXPECT_STREQ(unknown->vr, "UN");
    EXPECT_EQ(unknown->vr[3], '\0');
}

TEST(DictionaryLookup, LookupNameKeepsOrReplacesTheVR) {
    ElementPtr name = Element(0x0010, 0x0010, "LO");
    EXPECT_STREQ(LookupName(*name, true), "Patient's Name");
    EXPECT_STREQ(name->vr, "LO");
    EXPECT_STREQ(LookupName(*name, false), "Patient's Name");
    EXPECT_STREQ(name->vr, "PN");

    ElementPtr unknown = Element(0x6002, 0x3000, "OB");
    EXPECT_STREQ(LookupName(*unknown, false), "*** Unidentified ***");
    EXPECT_STREQ(unknown->vr, "OB");
    ElementPtr noVR = Element(0x0009, 0x1001);
    EXPECT_STREQ(LookupName(*noVR, false), "*** Unidentified ***");
    EXPECT_EQ(noVR->vr[0], '\0');
    ElementPtr groupLength = Element(0x0000, 0x0000);
    EXPECT_STREQ(LookupName(*groupLength, false), "Group Length");
    EXPECT_STREQ(groupLength->vr, "UL");
}
