#include <gtest/gtest.h>

#include <cstring>

#include "data/model/element_list.h"

using namespace pella;

namespace {

void Add(ElementList& list, uint16_t g, uint16_t e, const std::string& value, const char* vr) {
    list.Append(NewElement(g, e, static_cast<int32_t>(value.size()), value.data(), vr));
}

}  // namespace

TEST(ElementList, NewElementCopiesValueAndNeverAllocatesForEmptyOrUndefined) {
    char buffer[4] = {'A', 'B', 'C', 'D'};
    ElementPtr e = NewElement(0x10010, 0x20020, 4, buffer, "LO");
    EXPECT_EQ(e->group, 0x0010);  // low 16 bits only
    EXPECT_EQ(e->element, 0x0020);
    EXPECT_EQ(std::string(e->vr), "LO");
    buffer[0] = 'Z';  // the caller's buffer is not kept
    EXPECT_EQ(e->value[0], 'A');

    ElementPtr empty = NewElement(0x0008, 0x0050, 0, buffer, "SH");
    ElementPtr undefined = NewElement(0x0008, 0x1140, -1, buffer, "SQ");
    ElementPtr noVr = NewElement(0x0008, 0x0050, 0, nullptr, nullptr);
    EXPECT_EQ(empty->value, nullptr);
    EXPECT_EQ(undefined->value, nullptr);
    EXPECT_EQ(noVr->vr[0], '\0');
    EXPECT_EQ(noVr->vr[1], '\0');
    EXPECT_THROW(NewElement(1, 1, -2, nullptr, "OB"), std::invalid_argument);
}

TEST(ElementList, LookupsReturnTheFirstMatchAndDefaultsWhenAbsent) {
    ElementList list;
    Add(list, 0x0000, 0x0900, std::string("\x10\x00", 2), "US");
    Add(list, 0x0000, 0x0900, std::string("\x20\x00", 2), "US");
    Add(list, 0x0000, 0x0120, std::string("\x01", 1), "US");
    EXPECT_EQ(FindElement(list, 0x0000, 0x0900), &list[0]);
    EXPECT_EQ(GetElementUS(list, 0x0000, 0x0900), 0x10);
    EXPECT_EQ(GetElementUS(list, 0x0000, 0x0100), 0);  // absent
    EXPECT_EQ(GetElementUS(list, 0x0000, 0x0120), 0);  // fewer than two bytes
    EXPECT_EQ(FindElement(list, 0x0010, 0x0010), nullptr);
}

TEST(ElementList, GetElementTextFormatsNamesNumbersAndTrims) {
    ElementList list;
    Add(list, 0x0010, 0x0010, "Doe,John ", "PN");
    Add(list, 0x0028, 0x0010, std::string("\x00\x02", 2), "US");
    Add(list, 0x0028, 0x0011, std::string("\xFF\xFF", 2), "US");
    Add(list, 0x0008, 0x0018, std::string("1.2.3\0", 6), "UI");
    Add(list, 0x0008, 0x0060, " \tCT\r\n", "CS");
    Add(list, 0x0008, 0x0050, "", "SH");
    EXPECT_EQ(GetElementText(list, 0x0010, 0x0010), "Doe^John");
    EXPECT_EQ(GetElementText(list, 0x0028, 0x0010), "512");
    EXPECT_EQ(GetElementText(list, 0x0028, 0x0011), "65535");
    EXPECT_EQ(GetElementText(list, 0x0008, 0x0018), "1.2.3");
    EXPECT_EQ(GetElementText(list, 0x0008, 0x0060), "CT");
    EXPECT_EQ(GetElementText(list, 0x0008, 0x0050), "");
    EXPECT_EQ(GetElementText(list, 0x0020, 0x000D), "");
}

TEST(ElementList, EncodedListLengthCountsHeadersByEncoding) {
    ElementList list;
    Add(list, 0x0009, 0x0010, "ab", "OB");
    Add(list, 0x0008, 0x0018, std::string(20, '1'), "UI");
    EXPECT_EQ(EncodedListLength(list, true), 42u);
    EXPECT_EQ(EncodedListLength(list, false), 38u);

    ElementList nested;
    nested.Append(NewElement(0x0008, 0x1140, -1, nullptr, "SQ"));
    nested.Append(NewElement(0xFFFE, 0xE000, -1, nullptr, "DL"));
    nested.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    nested.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, ""));  // group FFFE without "DL"
    EXPECT_EQ(EncodedListLength(nested, true), 12u + 8 + 8 + 8);
    EXPECT_EQ(EncodedListLength(nested, false), 8u + 8 + 8 + 8);

    ElementList meta;  // group 0002 is explicit even in an implicit list
    Add(meta, 0x0002, 0x0001, "ab", "OB");
    EXPECT_EQ(EncodedListLength(meta, false), 14u);
}

TEST(ElementList, CopyAndClearKeepTheListUsable) {
    ElementList source;
    Add(source, 0x0008, 0x0060, "MR", "CS");
    source.Append(NewElement(0x0008, 0x1140, -1, nullptr, "SQ"));
    ElementList copy;
    CopyElements(copy, source);
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_NE(copy[0].value, source[0].value);
    EXPECT_EQ(std::memcmp(copy[0].value, "MR", 2), 0);
    EXPECT_EQ(copy[1].length, -1);

    ElementList empty;
    ClearTags(empty);
    EXPECT_TRUE(empty.empty());
    ClearTags(copy);
    EXPECT_TRUE(copy.empty());
    Add(copy, 0x0010, 0x0020, "ID", "LO");
    EXPECT_EQ(GetElementText(copy, 0x0010, 0x0020), "ID");
}

TEST(ElementList, EncodedLengthAgreesWithTheLongFormForOversizedShortVRs) {
    ElementList list;
    list.Append(NewElement(0x0028, 0x3006, 65536, nullptr, "US"));  // too long for 16 bits
    list.Append(NewElement(0x0010, 0x4000, 65535, nullptr, "LT"));  // fits
    list.Append(NewElement(0x0011, 0x0010, 4, nullptr, ""));        // no VR
    EXPECT_EQ(EncodedListLength(list, true), 12u + 65536 + 8 + 65535 + 12 + 4);
    EXPECT_EQ(EncodedListLength(list, false), 8u + 65536 + 8 + 65535 + 8 + 4);
    HeaderForm form = EncodedHeaderForm(list[0], true);
    EXPECT_TRUE(form.withVR);
    EXPECT_TRUE(form.longLength);
    EXPECT_EQ(std::string(form.vr, 2), "UN");
    EXPECT_EQ(std::string(EncodedHeaderForm(list[1], true).vr, 2), "LT");
    EXPECT_FALSE(EncodedHeaderForm(list[0], false).withVR);
}

namespace {

// A list in the flat form: "S" opens an undefined-length sequence, "I" an item, "P" encapsulated
// pixel data, "i"/"s" close an item/sequence (or the fragments), "U" is a top-level-looking
// Study Instance UID wherever it stands, "R" Rows.
ElementList Flat(const std::string& shape) {
    ElementList list;
    int uid = 0;
    for (char c : shape) {
        switch (c) {
            case 'S':
                list.Append(NewElement(0x0008, 0x1250, kUndefinedLength, nullptr, "SQ"));
                break;
            case 'P':
                list.Append(NewElement(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
                break;
            case 'I':
                list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, nullptr));
                break;
            case 'F':
                Add(list, 0xFFFE, 0xE000, "ab", nullptr);
                break;  // a pixel fragment
            case 'i':
                list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
                break;
            case 's':
                list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
                break;
            case 'U':
                Add(list, 0x0020, 0x000D, "1.2." + std::to_string(++uid), "UI");
                break;
            case 'R':
                Add(list, 0x0028, 0x0010, std::string("\x00\x02", 2), "US");
                break;
        }
    }
    return list;
}

}  // namespace

TEST(ElementList, LookupsReadTheDataSetsOwnElementsNeverThoseInsideItems) {
    struct Case {
        const char* shape;
        const char* uid;        // what GetElementText finds at the top level ("" = none)
        const char* nestedUid;  // what FindNestedElement finds first
        bool closed;
    };
    const Case cases[] = {
        {"U", "1.2.1", "1.2.1", true},
        {"SIUisU", "1.2.2", "1.2.1", true},      // a related series item before the own UID
        {"SIUiIUisU", "1.2.3", "1.2.1", true},   // two items
        {"SISIUisisU", "1.2.2", "1.2.1", true},  // nested two deep
        {"SIUis", "", "1.2.1", true},            // only inside an item: not the data set's
        {"PFFsU", "1.2.1", "1.2.1", true},       // after encapsulated pixel data
        {"SIU", "", "1.2.1", false},             // ends inside an open item
        {"SIUi", "", "1.2.1", false},            // ends inside an open sequence
        {"PF", "", "", false},                   // ends inside the fragments
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        ElementList list = Flat(c.shape);
        EXPECT_EQ(GetElementText(list, 0x0020, 0x000D), c.uid);
        const DataElement* nested = FindNestedElement(list, 0x0020, 0x000D);
        EXPECT_EQ(nested ? std::string(reinterpret_cast<char*>(nested->value), nested->length) : "",
                  c.nestedUid);
        EXPECT_EQ(SequencesClosed(list), c.closed);
    }
    // Numbers and texts go through the same lookup.
    ElementList rowsNested = Flat("SIRisU");
    EXPECT_EQ(GetElementText(rowsNested, 0x0028, 0x0010), "");
    EXPECT_EQ(GetElementUS(rowsNested, 0x0028, 0x0010), 0);
}
