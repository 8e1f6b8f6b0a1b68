// dictionary::Exp_One_SQ: one level of a defined-length sequence or item.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"
#include "support/dicom_bytes.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::DicomBytes;
using testing_support::LogSettingsGuard;
using testing_support::TempDir;

namespace {

ElementPtr Sequence(const DicomBytes& content, const char* vr = "SQ") {
    return NewElement(0x0008, 0x1140, static_cast<int32_t>(content.Size()), content.Bytes().data(), vr);
}

}  // namespace

TEST(ExpOneSQ, ImplicitContentGetsTableVRsAndStaysOneLevelDeep) {
    DicomBytes nested;
    nested.Implicit(0x0008, 0x1155, std::string("3.4\0", 4));
    DicomBytes item;
    item.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    item.TagLength(0x0040, 0xA730, static_cast<uint32_t>(nested.Size() + 8));
    item.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(nested.Size())).Raw(nested.Bytes());
    DicomBytes content;
    content.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.Size())).Raw(item.Bytes());
    content.TagLength(0xFFFE, 0xE000, 0);
    ElementPtr sq = Sequence(content);

    ElementList sqLevel;
    ASSERT_TRUE(dictionary::Exp_One_SQ(*sq, sqLevel, false, false));
    ASSERT_EQ(sqLevel.size(), 2u);  // two items, nothing added
    EXPECT_EQ(sqLevel[0].length, static_cast<int32_t>(item.Size()));
    EXPECT_STREQ(sqLevel[0].vr, "DL");
    EXPECT_EQ(sqLevel[1].length, 0);

    ElementList itemLevel;
    ASSERT_TRUE(dictionary::Exp_One_SQ(sqLevel[0], itemLevel, false, false));
    ASSERT_EQ(itemLevel.size(), 2u);
    EXPECT_STREQ(itemLevel[0].vr, "UI");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(itemLevel[0].value), 3), "1.2");
    EXPECT_STREQ(itemLevel[1].vr, "SQ");  // the nested sequence stays a raw value
    EXPECT_EQ(itemLevel[1].length, static_cast<int32_t>(nested.Size() + 8));
}

TEST(ExpOneSQ, ExplicitHeadersExceptInGroups0000AndFFFE) {
    DicomBytes content;
    content.TagLength(0x0000, 0x0100, 2).U16(0x0001);  // implicit: no VR in group 0000
    content.TagLength(0xFFFE, 0xE00D, 0);              // delimiters are kept when present
    content.Explicit(0x0010, 0x0010, "PN", "Doe^John");
    content.Explicit(0x0009, 0x1001, "UT", "long form");  // unknown tag keeps the VR it had
    content.Explicit(0x0040, 0xE010, "UR", "http://x/");
    ElementPtr item =
        NewElement(0xFFFE, 0xE000, static_cast<int32_t>(content.Size()), content.Bytes().data(), "DL");
    ElementList out;
    ASSERT_TRUE(dictionary::Exp_One_SQ(*item, out, true, false));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].length, 2);
    EXPECT_EQ(out[0].vr[0], '\0');  // explicit data: no table lookup
    EXPECT_EQ(out[1].element, 0xE00D);
    EXPECT_STREQ(out[2].vr, "PN");
    EXPECT_EQ(out[2].length, 8);
    EXPECT_STREQ(out[3].vr, "UT");
    EXPECT_EQ(out[3].length, 9);
    EXPECT_STREQ(out[4].vr, "UR");
    EXPECT_EQ(out[4].length, 9);
}

TEST(ExpOneSQ, BigEndianTagsAndLengths) {
    DicomBytes content(true);
    content.Explicit(0x0028, 0x0010, "US", std::string("\x02\x00", 2));
    content.TagLength(0xFFFE, 0xE000, 0);
    ElementPtr sq = Sequence(content);
    ElementList out;
    ASSERT_TRUE(dictionary::Exp_One_SQ(*sq, out, true, true));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].group, 0x0028);
    EXPECT_EQ(out[0].element, 0x0010);
    EXPECT_EQ(out[0].value[0], 0x02);  // values keep their byte order
    EXPECT_EQ(out[1].element, 0xE000);
}

TEST(ExpOneSQ, EmptyAndUndefinedLengthsGiveNothing) {
    ElementList out;
    ElementPtr empty = NewElement(0x0008, 0x1140, 0, nullptr, "SQ");
    EXPECT_TRUE(dictionary::Exp_One_SQ(*empty, out, true, false));
    ElementPtr undefined = NewElement(0x0008, 0x1140, -1, nullptr, "SQ");
    EXPECT_TRUE(dictionary::Exp_One_SQ(*undefined, out, true, false));
    EXPECT_TRUE(out.empty());
}

TEST(ExpOneSQ, BadContentFailsAndKeepsWhatWasDecoded) {
    for (uint32_t lie : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFEu, 9u}) {
        DicomBytes content;
        content.Implicit(0x0008, 0x0060, "MR");
        content.TagLength(0x0008, 0x0070, lie).Text("12345678");
        ElementPtr sq = Sequence(content);
        ElementList out;
        EXPECT_FALSE(dictionary::Exp_One_SQ(*sq, out, false, false)) << lie;
        EXPECT_EQ(out.size(), 1u);
    }
    DicomBytes cut;
    cut.Implicit(0x0008, 0x0060, "MR").U16(0x0008).U16(0x0070).Byte(1);
    ElementPtr sq = Sequence(cut);
    ElementList out;
    EXPECT_FALSE(dictionary::Exp_One_SQ(*sq, out, false, false));
    // An explicit short header whose 16-bit length runs past the value.
    DicomBytes shortLie;
    shortLie.U16(0x0010).U16(0x0010).Text("PN").U16(0xFFFF).Text("Doe");
    ElementPtr sq2 = Sequence(shortLie);
    ElementList out2;
    EXPECT_FALSE(dictionary::Exp_One_SQ(*sq2, out2, true, false));
    EXPECT_TRUE(out2.empty());
}

TEST(ExpOneSQ, LogsLengthAndCountAboveLevelOne) {
    LogSettingsGuard guard;
    TempDir dir;
    DicomBytes content;
    content.Implicit(0x0008, 0x0060, "MR");
    ElementPtr sq = Sequence(content);
    std::string file = dir.File("exp.log");
    SetLogSettings(1, file);
    ElementList quiet;
    ASSERT_TRUE(dictionary::Exp_One_SQ(*sq, quiet, false, false));
    SetLogSettings(2, file);
    ElementList out;
    ASSERT_TRUE(dictionary::Exp_One_SQ(*sq, out, false, false));
    std::ifstream in(file);
    std::string first, second, third;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first.substr(10), "dictionary::Exp_One_SQ::tag->length=10");
    EXPECT_EQ(second.substr(10), "dictionary::Exp_One_SQ::out->Count=1");
    EXPECT_FALSE(std::getline(in, third));
}
