// DumpListToMemo: one line per element for a text view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/dump/memo_dump.h"
#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"

using namespace pella;

namespace {

void Add(ElementList& list, uint16_t g, uint16_t e, const std::string& value, const char* vr) {
    list.Append(NewElement(g, e, static_cast<int32_t>(value.size()), value.data(), vr));
}

void AddEmpty(ElementList& list, uint16_t g, uint16_t e, int32_t length, const char* vr) {
    list.Append(NewElement(g, e, length, nullptr, vr));
}

std::vector<std::string> Memo(ElementList& list, bool keepVR) {
    std::vector<std::string> lines;
    DumpListToMemo(
        list, [&](const std::string& line) { lines.push_back(line); }, keepVR);
    return lines;
}

}  // namespace

TEST(MemoDump, LineFormats) {
    ElementList list;
    Add(list, 0x0010, 0x0010, "Doe^John", "PN");
    Add(list, 0x0028, 0x0010, std::string("\x00\x02", 2), "US");
    Add(list, 0x0018, 0x9218, std::string(8, '\0'), "FD");
    AddEmpty(list, 0x0008, 0x0050, 0, "SH");
    Add(list, 0x0010, 0x4000, std::string(255, 'y'), "LT");
    Add(list, 0x0010, 0x4000, std::string(256, 'y'), "LT");
    AddEmpty(list, 0x7FE0, 0x0010, -1, "OB");
    Add(list, 0x6002, 0x3000, "ab", "OW");
    auto lines = Memo(list, true);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "(0010, 0010), 8, PN  \"Doe^John\" - Patient's Name");
    EXPECT_EQ(lines[1], "(0028, 0010), 2, US  \"512\" - Rows");
    EXPECT_EQ(lines[2], "(0018, 9218), 8, FD  \"Vector!!\" - Tag Spacing Second Dimension");
    EXPECT_EQ(lines[3], "(0008, 0050), SH - Accession Number");
    EXPECT_EQ(lines[4], "(0010, 4000), 255, LT  \"" + std::string(255, 'y') + "\" - Patient Comments");
    EXPECT_EQ(lines[5], "(0010, 4000), 256, LT - Patient Comments");
    EXPECT_EQ(lines[6], "(7FE0, 0010), OB - Pixel Data");
    EXPECT_EQ(lines[7], "(6002, 3000), 2, OW  \"ab\" - *** Unidentified ***");
}

TEST(MemoDump, ItemsOfUndefinedLengthIndentTheirContents) {
    ElementList list;
    AddEmpty(list, 0x0008, 0x1140, -1, "SQ");
    AddEmpty(list, 0xFFFE, 0xE000, -1, "DL");
    Add(list, 0x0008, 0x1150, std::string("1.2\0", 4), "UI");
    AddEmpty(list, 0x0008, 0x1199, -1, "SQ");
    AddEmpty(list, 0xFFFE, 0xE000, -1, "DL");
    Add(list, 0x0008, 0x1155, std::string("3.4\0", 4), "UI");
    AddEmpty(list, 0xFFFE, 0xE00D, 0, "DL");
    AddEmpty(list, 0xFFFE, 0xE0DD, 0, "DL");
    AddEmpty(list, 0xFFFE, 0xE00D, 0, "DL");
    AddEmpty(list, 0xFFFE, 0xE0DD, 0, "DL");
    Add(list, 0x0010, 0x0020, "ID", "LO");
    EXPECT_EQ(
        Memo(list, true),
        (std::vector<std::string>{
            "(0008, 1140), SQ - Referenced Image Sequence", "(FFFE, E000), DL - Item",
            ".....(0008, 1150), 4, UI  \"1.2\" - Referenced SOP Class UID",
            ".....(0008, 1199), SQ - Referenced SOP Sequence", ".....(FFFE, E000), DL - Item",
            "..........(0008, 1155), 4, UI  \"3.4\" - Referenced SOP Instance UID",
            "..........(FFFE, E00D), DL - Item Delimitation Item",
            ".....(FFFE, E0DD), DL - Sequence Delimitation Item",
            ".....(FFFE, E00D), DL - Item Delimitation Item", "(FFFE, E0DD), DL - Sequence Delimitation Item",
            "(0010, 0020), 2, LO  \"ID\" - Patient ID"}));
}

TEST(MemoDump, DefinedLengthItemsAndStrayDelimitersLeaveTheIndentAlone) {
    ElementList list;
    AddEmpty(list, 0xFFFE, 0xE000, 0, "DL");  // an empty item of defined length has no delimiter
    AddEmpty(list, 0xFFFE, 0xE00D, 0, "DL");  // a stray delimiter closes nothing
    AddEmpty(list, 0xFFFE, 0xE000, -1, "DL");
    Add(list, 0x0010, 0x0020, "ID", "LO");
    auto lines = Memo(list, true);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "(FFFE, E000), DL - Item");
    EXPECT_EQ(lines[3], ".....(0010, 0020), 2, LO  \"ID\" - Patient ID");
}

TEST(MemoDump, KeepVROrTakeTheTables) {
    ElementList list;
    Add(list, 0x0028, 0x0010, std::string("\x00\x01", 2), nullptr);
    Add(list, 0x0009, 0x1001, "xy", nullptr);
    auto kept = Memo(list, true);
    EXPECT_EQ(kept[0], "(0028, 0010), 2,   \"\" - Rows");  // no VR: shown as text
    auto table = Memo(list, false);
    EXPECT_EQ(table[0], "(0028, 0010), 2, US  \"256\" - Rows");
    EXPECT_EQ(table[1], "(0009, 1001), 2,   \"xy\" - *** Unidentified ***");
    EXPECT_STREQ(list[0].vr, "US");
}

// Items nested up to the readers' limit are dumped; one level more ends the dump with a
// reason after the line of the item that went too deep, each line a bounded prefix long.
TEST(MemoDump, NestingBeyondTheLimitFailsAfterItsLine) {
    for (int levels : {1, kMaxSequenceDepth, kMaxSequenceDepth + 1, 16000}) {
        SCOPED_TRACE(levels);
        ElementList list;
        for (int i = 0; i < levels; ++i) {
            AddEmpty(list, 0x0009, 0x1010, -1, "SQ");
            AddEmpty(list, 0xFFFE, 0xE000, -1, "DL");
        }
        Add(list, 0x0008, 0x1150, std::string("1.2\0", 4), "UI");
        std::vector<std::string> lines;
        ClearLastFailure();
        bool dumped = DumpListToMemo(
            list, [&](const std::string& line) { lines.push_back(line); }, true);
        bool deep = levels > kMaxSequenceDepth;
        EXPECT_EQ(dumped, !deep);
        ASSERT_EQ(lines.size(), deep ? 2u * kMaxSequenceDepth + 2 : 2u * levels + 1);
        std::size_t dots = std::string(lines.back()).find_first_not_of('.');
        EXPECT_EQ(dots, 5u * static_cast<std::size_t>(deep ? kMaxSequenceDepth : levels));
        if (deep) {
            EXPECT_NE(LastFailure().find("deeper than 64 levels"), std::string::npos) << LastFailure();
        }
    }
}
