// DumpElement: the line-per-element dump into the protocol log.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "data/dump/element_dump.h"
#include "log/protocol_log.h"
#include "support/dicom_bytes.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::DicomBytes;
using testing_support::TempDir;

namespace {

// Collects the log lines (without their time stamps) written during one test.
class LogCapture {
public:
    explicit LogCapture(int level = 1) : file_(dir_.File("dump.log")) { SetLogSettings(level, file_); }
    ~LogCapture() { SetLogSettings(0, ""); }
    std::vector<std::string> Lines() const {
        std::ifstream in(file_, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(10));
        return lines;
    }

private:
    TempDir dir_;
    std::string file_;
};

ElementPtr Make(uint16_t g, uint16_t e, const std::string& value, const char* vr) {
    return NewElement(g, e, static_cast<int32_t>(value.size()), value.data(), vr);
}

std::string DumpOne(ElementPtr element, bool explicitVR = true) {
    LogCapture log;
    EXPECT_TRUE(DumpElement(*element, explicitVR, 1));
    auto lines = log.Lines();
    return lines.size() == 1 ? lines[0] : "lines: " + std::to_string(lines.size());
}

}  // namespace

TEST(DumpElement, ShortValuesShowTextAndName) {
    EXPECT_EQ(DumpOne(Make(0x0010, 0x0010, "Doe^John", "PN")),
              "(0010,0010),  8,\tPN, \"Doe^John\" - Patient's Name");
    EXPECT_EQ(DumpOne(Make(0x0008, 0x0060, std::string("CT\0X", 4), "CS")),
              "(0008,0060),  4,\tCS, \"CT\" - Modality");  // text ends at the first zero byte
    EXPECT_EQ(DumpOne(Make(0x0010, 0x0020, "A\nB\x01", "LO")),
              "(0010,0020),  4,\tLO, \"A.B.\" - Patient ID");  // no line breaks in the log
    EXPECT_EQ(DumpOne(Make(0x6002, 0x3000, "ab", "OW")),
              "(6002,3000),  2,\tOW, \"ab\" - *** Unidentified ***");
    EXPECT_EQ(DumpOne(Make(0x0000, 0x0000, std::string("\x10\0\0\0", 4), "UL")),
              "(0000,0000),  4,\tUL, \"16\" - Group Length");
    EXPECT_EQ(DumpOne(Make(0x0008, 0x0050, "", "SH")), "(0008,0050),  0,\tSH, \"\" - Accession Number");
}

TEST(DumpElement, BinaryNumbers) {
    EXPECT_EQ(DumpOne(Make(0x0028, 0x0010, std::string("\x00\x02", 2), "US")),
              "(0028,0010),  2,\tUS, \"512\" - Rows");
    EXPECT_EQ(DumpOne(Make(0x0028, 0x0010, std::string("\x01\x00\x02\x00\x03\x00", 6), "US")),
              "(0028,0010),  6,\tUS, \"Vector!!\" - Rows");
    EXPECT_EQ(DumpOne(Make(0x0018, 0x9219, std::string("\xFE\xFF", 2), "SS")),
              "(0018,9219),  2,\tSS, \"-2\" - Tag Angle Second Axis");
    EXPECT_EQ(DumpOne(Make(0x0000, 0x0000, std::string("\xFF\xFF\xFF\xFF", 4), "UL")),
              "(0000,0000),  4,\tUL, \"4294967295\" - Group Length");
    EXPECT_EQ(DumpOne(Make(0x0018, 0x6020, std::string("\xFF\xFF\xFF\xFF", 4), "SL")),
              "(0018,6020),  4,\tSL, \"-1\" - Reference Pixel X0");
    EXPECT_EQ(DumpOne(Make(0x0018, 0x9219, std::string("\x01\0\x02\0", 4), "SS")),
              "(0018,9219),  4,\tSS, \"Vector!!\" - Tag Angle Second Axis");
    // FD: always a vector, even of one value.
    EXPECT_EQ(DumpOne(Make(0x0018, 0x9218, std::string("\0\0\0\0\0\0\xF8\x3F", 8), "FD")),
              "(0018,9218),  8,\tFD, \"Vector!!\" - Tag Spacing Second Dimension");
    EXPECT_EQ(DumpOne(Make(0x0018, 0x9328, std::string("\0\0\xC0\x3F", 4), "FL")),
              "(0018,9328),  4,\tFL, \" 1.50\" - Exposure Time in ms");
}

TEST(DumpElement, LongAndUndefinedValuesShowTheFirstPartOnly) {
    EXPECT_EQ(DumpOne(Make(0x0010, 0x4000, std::string(254, 'x'), "LT")).size(),
              std::string("(0010,4000), 254,\tLT, \"\" - Patient Comments").size() + 254);
    EXPECT_EQ(DumpOne(Make(0x0010, 0x4000, std::string(255, 'x'), "LT")), "(0010,4000), 255,\tLT");
    EXPECT_EQ(DumpOne(NewElement(0x7FE0, 0x0010, -1, nullptr, "OB")), "(7FE0,0010), -1,\tOB");
}

TEST(DumpElement, ImplicitDataTakesTheTableVR) {
    ElementPtr rows = Make(0x0028, 0x0010, std::string("\x00\x01", 2), nullptr);
    EXPECT_EQ(DumpOne(std::move(rows), false), "(0028,0010),  2,\tUS, \"256\" - Rows");
    ElementPtr explicitRows = Make(0x0028, 0x0010, std::string("\x00\x01", 2), "SS");
    EXPECT_EQ(DumpOne(std::move(explicitRows), true), "(0028,0010),  2,\tSS, \"256\" - Rows");
}

TEST(DumpElement, UndefinedLengthSequenceIsNotExpanded) {
    LogCapture log(2);
    ElementPtr sq = NewElement(0x0008, 0x1140, -1, nullptr, "SQ");
    ElementPtr item = NewElement(0xFFFE, 0xE000, -1, nullptr, "DL");
    ElementPtr uid = Make(0x0008, 0x1150, std::string("1.2\0", 4), "UI");
    ElementPtr end = NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL");
    for (DataElement* e : {sq.get(), item.get(), uid.get(), end.get()}) EXPECT_TRUE(DumpElement(*e, true, 1));
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"(0008,1140), -1,\tSQ", "(FFFE,E000), -1,\tDL",
                                        "(0008,1150),  4,\tUI, \"1.2\" - Referenced SOP Class UID",
                                        "(FFFE,E0DD),  0,\tDL, \"\" - Sequence Delimitation Item"}));
}

TEST(DumpElement, DefinedLengthSequenceIsExpandedLevelByLevel) {
    DicomBytes item;
    item.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    DicomBytes content;
    content.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.Size())).Raw(item.Bytes());
    ElementPtr sq =
        NewElement(0x0008, 0x1140, static_cast<int32_t>(content.Size()), content.Bytes().data(), nullptr);
    LogCapture log(1);
    ASSERT_TRUE(DumpElement(*sq, false, 1));
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"(0008,1140), 20,\tSQ", "...(FFFE,E000), 12,\tDL",
                                        "......(0008,1150),  4,\tUI, \"1.2\" - Referenced SOP Class UID"}));
}

TEST(DumpElement, ItemAtTheFirstLevelIsNotExpanded) {
    EXPECT_EQ(DumpOne(Make(0xFFFE, 0xE000, "abcd", "DL")), "(FFFE,E000),  4,\tDL, \"abcd\" - Item");
}

TEST(DumpElement, HostileContentFailsCleanly) {
    std::vector<uint8_t> inner = testing_support::NestedItems(5000);
    ElementPtr deep = NewElement(0x0008, 0x1140, static_cast<int32_t>(inner.size()), inner.data(), "SQ");
    {
        LogCapture log;
        EXPECT_FALSE(DumpElement(*deep, true, 1));
        auto lines = log.Lines();
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(kMaxDumpLevel) + 1);
        EXPECT_EQ(lines.back(), "DumpElement: nesting deeper than 64 levels is not dumped");
    }
    DicomBytes truncated;
    truncated.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    truncated.TagLength(0xFFFE, 0xE000, 0x7FFFFFF0u).Text("short");
    ElementPtr bad =
        NewElement(0x0008, 0x1140, static_cast<int32_t>(truncated.Size()), truncated.Bytes().data(), "SQ");
    LogCapture log;
    EXPECT_FALSE(DumpElement(*bad, false, 1));
    auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "...(0008,1150),  4,\tUI, \"1.2\" - Referenced SOP Class UID");
    EXPECT_EQ(lines[2], "...contents do not fit the length of the element");
}
