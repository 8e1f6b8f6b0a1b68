// Saving element lists as Part 10 files: read back equal in every syntax, the meta group kept
// and brought up to date, and a refused save leaves the file that was there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/edit/dicom_file_save.h"
#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "support/data_set_builder.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::AddText;
using testing_support::AddUS;

namespace {

std::string FileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ElementList DataSet(const std::string& instance) {
    ElementList list;
    AddText(list, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(list, 0x0008, 0x0018, "UI", instance);
    AddText(list, 0x0010, 0x0010, "PN", "Doe^John");
    list.Append(NewElement(0x0040, 0x0275, kUndefinedLength, nullptr, "SQ"));
    list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    AddText(list, 0x0040, 0x0009, "SH", "SPS1");
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    return list;
}

TEST(Part10Save, ReadsBackInEverySyntaxWithAFreshMetaGroup) {
    testing_support::TempDir dir;
    for (const char* syntax : {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.1.99"}) {
        std::string file = dir.File("saved.dcm");
        ElementList data = DataSet("1.2.3.4");
        AddUS(data, 0x0028, 0x0010, 512);
        ASSERT_TRUE(SavePart10File(file, nullptr, data, syntax)) << syntax;
        ElementList meta, back;
        ParseState state;
        ASSERT_TRUE(ReadPart10File(file, meta, back, state)) << syntax;
        EXPECT_EQ(ElementUid(meta, 0x0002, 0x0010), syntax);
        EXPECT_EQ(ElementUid(meta, 0x0002, 0x0003), "1.2.3.4");
        EXPECT_EQ(ElementUid(meta, 0x0002, 0x0002), "1.2.840.10008.5.1.4.1.1.7");
        EXPECT_EQ(GetElementText(back, 0x0010, 0x0010), "Doe^John") << syntax;
        EXPECT_EQ(GetElementText(back, 0x0028, 0x0010), "512") << syntax;
        EXPECT_NE(FindNestedElement(back, 0x0040, 0x0009), nullptr) << syntax;
    }
}

TEST(Part10Save, KeepsTheGivenMetaGroupAndFollowsTheInstance) {
    testing_support::TempDir dir;
    std::string file = dir.File("kept.dcm");
    ElementList meta;
    const uint8_t groupLength[4] = {0, 0, 0, 0};
    meta.Append(NewElement(0x0002, 0x0000, 4, groupLength, "UL"));
    AddText(meta, 0x0002, 0x0003, "UI", "9.9.9");
    AddText(meta, 0x0002, 0x0010, "UI", "1.2.840.10008.1.2");
    AddText(meta, 0x0002, 0x0016, "AE", "SENDER");
    ElementList data = DataSet("1.2.3.5");
    ASSERT_TRUE(SavePart10File(file, &meta, data, "1.2.840.10008.1.2.1"));
    ElementList readMeta, back;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(file, readMeta, back, state));
    EXPECT_TRUE(state.explicitVR);
    EXPECT_EQ(ElementUid(readMeta, 0x0002, 0x0003), "1.2.3.5");
    EXPECT_EQ(ElementUid(readMeta, 0x0002, 0x0010), "1.2.840.10008.1.2.1");
    EXPECT_EQ(GetElementText(readMeta, 0x0002, 0x0016), "SENDER");
    // Tag order, and a group length that covers exactly the meta group.
    for (std::size_t i = 1; i < readMeta.size(); ++i) EXPECT_LT(readMeta[i - 1].element, readMeta[i].element);
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | readMeta[0].value[i];
    EXPECT_EQ(length, EncodedListLength(readMeta, true) - 12);
}

TEST(Part10Save, RefusedSavesLeaveTheFile) {
    testing_support::TempDir dir;
    std::string file = dir.File("old.dcm");
    ElementList good = DataSet("1.2.3.6");
    ASSERT_TRUE(SavePart10File(file, nullptr, good, "1.2.840.10008.1.2.1"));
    const std::string before = FileBytes(file);

    ElementList unclosed = DataSet("1.2.3.7");
    unclosed.items.pop_back();
    ElementList withMeta = DataSet("1.2.3.8");
    AddText(withMeta, 0x0002, 0x0010, "UI", "1.2.840.10008.1.2");
    ElementList foreignMeta;
    AddText(foreignMeta, 0x0008, 0x0018, "UI", "1.2");
    ElementList nativePixels = DataSet("1.2.3.9");
    nativePixels.Append(NewElement(0x7FE0, 0x0010, 2, "\x01\x02", "OW"));
    struct Case {
        const ElementList* meta;
        const ElementList* data;
        const char* syntax;
    };
    const Case cases[] = {
        {nullptr, &good, "not a uid"},
        {nullptr, &unclosed, "1.2.840.10008.1.2.1"},
        {nullptr, &withMeta, "1.2.840.10008.1.2.1"},
        {&foreignMeta, &good, "1.2.840.10008.1.2.1"},
        {nullptr, &nativePixels, "1.2.840.10008.1.2.4.50"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(SavePart10File(file, c.meta, *c.data, c.syntax)) << c.syntax;
        EXPECT_EQ(FileBytes(file), before) << c.syntax;
    }
    EXPECT_FALSE(SavePart10File(dir.File("no/such/folder/x.dcm"), nullptr, good, "1.2.840.10008.1.2.1"));
    // Nothing but the file itself is left in the folder.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
