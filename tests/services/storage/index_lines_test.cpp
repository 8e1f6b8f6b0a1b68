#include "services/storage/index_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/data_set_builder.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::AddText;
using testing_support::AddUS;
using testing_support::TempDir;

TEST(DelimitedField, CountsFromOneAndGivesEmptyBeyondTheLast) {
    EXPECT_EQ(GetDelimitedField("a,b,c,d", 3, ','), "c");
    EXPECT_EQ(GetDelimitedField("a,b,c", 3, ','), "c");
    EXPECT_EQ(GetDelimitedField("a,b", 3, ','), "");
    EXPECT_EQ(GetDelimitedField("a,b,c", 1, ','), "a");
    EXPECT_EQ(GetDelimitedField(",,x,", 3, ','), "x");
    EXPECT_EQ(GetDelimitedField(",,x,", 4, ','), "");
    EXPECT_EQ(GetDelimitedField("a,,c", 2, ','), "");
    EXPECT_EQ(GetDelimitedField("", 1, ','), "");
    EXPECT_EQ(GetDelimitedField("a;b", 2, ';'), "b");
    EXPECT_EQ(GetDelimitedField("a,b", 0, ','), "");
    EXPECT_EQ(GetDelimitedField("a,b", -1, ','), "");
}

// Lines appended by the writers come back whole from the reader, in order, and the image line's
// SOP Instance UID (the file name) is where the reader takes it from, whatever else the line holds.
TEST(IndexLines, WhatIsAppendedIsReadBackFieldByField) {
    struct Case {
        const char* what;
        const char* sop;
        const char* imageType;  // empty: absent
        uint16_t rows;
    };
    const Case cases[] = {
        {"every field", "1.2.3.4.5", "ORIGINAL\\PRIMARY", 512},
        {"no image type", "1.2.3.4.6", "", 0},
        {"a comma in a later field", "1.2.3.4.7", "DERIVED,SECONDARY", 64},
    };
    TempDir temp;
    std::string index = temp.File("Image.dir");
    for (const Case& c : cases) {
        ElementList data;
        AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
        AddText(data, 0x0008, 0x0018, "UI", c.sop);
        if (*c.imageType) AddText(data, 0x0008, 0x0008, "CS", c.imageType);
        AddText(data, 0x0020, 0x0013, "IS", "4");
        AddUS(data, 0x0028, 0x0010, c.rows);
        ASSERT_TRUE(AppendIndexLine(index, ImageIndexLine(data))) << c.what;
    }
    std::vector<std::string> lines = ReadIndexLines(index);
    ASSERT_EQ(lines.size(), std::size(cases));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(ImageLineSopInstance(lines[i]), cases[i].sop);
        EXPECT_EQ(GetDelimitedField(lines[i], 2, ','), "4");
        EXPECT_EQ(GetDelimitedField(lines[i], 9, ','), "1.2.840.10008.5.1.4.1.1.7");
        EXPECT_EQ(GetDelimitedField(lines[i], 10, ','), std::to_string(cases[i].rows));
        EXPECT_EQ(lines[i].find('\r'), std::string::npos);
    }
}

TEST(IndexLines, ReadingTakesCrLfAndLoneLfAndSkipsEmptyLines) {
    TempDir temp;
    std::ofstream(temp.File("Image.dir"), std::ios::binary) << "a,b,1.1\r\n\r\nc,d,1.2\ne,f,1.3";
    EXPECT_EQ(ReadIndexLines(temp.File("Image.dir")),
              (std::vector<std::string>{"a,b,1.1", "c,d,1.2", "e,f,1.3"}));
    EXPECT_TRUE(ReadIndexLines(temp.File("missing")).empty());
    fs::create_directories(temp.Path() / "folder");
    EXPECT_TRUE(ReadIndexLines(temp.File("folder")).empty());
    EXPECT_FALSE(AppendIndexLine(temp.File("folder"), "x\r\n"));
    EXPECT_EQ(ImageLineSopInstance("a,b"), "");
}

// Values holding the separator or a line end are escaped and come back; values without them
// (and without a "%" that reads as an escape) are written as they always were.
TEST(IndexLines, EscapedValuesKeepTheirFieldsAndComeBack) {
    struct Case {
        std::string value;
        std::string field;
    } cases[] = {
        {"1,2", "1%2C2"},
        {"a\r\nb", "a%0D%0Ab"},
        {"ORIGINAL\\PRIMARY", "ORIGINAL\\PRIMARY"},
        {"50% dose", "50% dose"},
        {"%2", "%2"},
        {"%2C", "%252C"},
        {"%0a%25", "%250a%2525"},
        {"%%2c", "%%252c"},
        {"\xA7"
         "20240101",
         "\xA7"
         "20240101"},
        {"", ""},
        {",", "%2C"},
    };
    for (const Case& c : cases) {
        std::string field = EscapeIndexField(c.value);
        EXPECT_EQ(field, c.field) << c.value;
        EXPECT_EQ(field.find_first_of(",\r\n"), std::string::npos) << c.value;
        EXPECT_EQ(UnescapeIndexField(field), c.value) << c.value;
    }
    // An escape is read in either case of its hexadecimal digit.
    EXPECT_EQ(UnescapeIndexField("1%2c2%0d%0a"), "1,2\r\n");

    ElementList data;
    AddText(data, 0x0020, 0x0012, "IS", "1,2");
    AddText(data, 0x0008, 0x0018, "UI", "1.2.3.4.5");
    AddText(data, 0x0008, 0x0008, "CS", "DERIVED,SECONDARY");
    std::string line = ImageIndexLine(data);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    line.resize(line.size() - 2);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 11);
    EXPECT_EQ(IndexLineField(line, 1), "1,2");
    EXPECT_EQ(ImageLineSopInstance(line), "1.2.3.4.5");
    EXPECT_EQ(IndexLineField(line, 12), "DERIVED,SECONDARY");
}

}  // namespace
}  // namespace pella
