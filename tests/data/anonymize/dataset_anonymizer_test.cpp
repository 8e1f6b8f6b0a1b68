// Anonymizing a data set built by hand: every depth, defined-length sequences, private and
// group-length elements, encapsulated pixel data left as it is, and the marks added.
#include <gtest/gtest.h>

#include <cstring>

#include "data/anonymize/dataset_anonymizer.h"
#include "data/anonymize/uid_mapping.h"
#include "support/data_set_builder.h"

using namespace pella;
using testing_support::AddText;

namespace {

constexpr const char* kKey = "test key";

void Open(ElementList& list, uint16_t group, uint16_t element) {
    list.Append(NewElement(group, element, kUndefinedLength, nullptr, group == 0xFFFE ? "DL" : "SQ"));
}

void Close(ElementList& list, uint16_t element) {
    list.Append(NewElement(0xFFFE, element, 0, nullptr, "DL"));
}

// One item holding (0008,1155) `uid`, encoded explicit VR little endian with a defined length.
std::vector<uint8_t> DefinedLengthItem(const std::string& uid) {
    std::string value = uid;
    if (value.size() % 2) value.push_back('\0');
    std::string element =
        std::string("\x08\x00\x55\x11UI", 6) + static_cast<char>(value.size()) + '\0' + value;
    std::string item = std::string("\xFE\xFF\x00\xE0", 4) + static_cast<char>(element.size()) +
                       std::string(3, '\0') + element;
    return std::vector<uint8_t>(item.begin(), item.end());
}

std::string Text(const DataElement& e) {
    return e.length > 0
               ? std::string(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length))
               : std::string();
}

struct Flat {
    uint16_t group, element;
    std::string value;
};

std::vector<Flat> Elements(const ElementList& list) {
    std::vector<Flat> out;
    for (const auto& e : list) out.push_back({e->group, e->element, Text(*e)});
    return out;
}

std::string Padded(std::string uid) {
    if (uid.size() % 2) uid.push_back('\0');
    return uid;
}

}  // namespace

TEST(DatasetAnonymizer, EveryDepthEveryKindOfElement) {
    ElementList in;
    in.Append(NewElement(0x0008, 0x0000, 4, "\0\0\0\0", "UL"));  // a group length
    AddText(in, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2");
    AddText(in, 0x0008, 0x0018, "UI", "1.2.3.4");
    AddText(in, 0x0008, 0x0020, "DA", "20200101");
    AddText(in, 0x0008, 0x0080, "LO", "General Hospital");
    Open(in, 0x0008, 0x1140);  // Referenced Image Sequence: kept, its items walked
    Open(in, 0xFFFE, 0xE000);
    AddText(in, 0x0008, 0x1150, "UI", "1.2.840.10008.5.1.4.1.1.2");
    AddText(in, 0x0008, 0x1155, "UI", "1.2.3.5");
    AddText(in, 0x0010, 0x0010, "PN", "Doe^Jane");  // a name inside an item
    AddText(in, 0x0011, 0x1001, "LO", "private inside");
    Close(in, 0xE00D);
    Close(in, 0xE0DD);
    std::vector<uint8_t> item = DefinedLengthItem("1.2.3.6");
    in.Append(
        NewElement(0x0008, 0x2112, static_cast<int32_t>(item.size()), item.data(), "SQ"));  // defined length
    AddText(in, 0x0009, 0x0010, "LO", "ACME");
    AddText(in, 0x0009, 0x1001, "LO", "secret");
    AddText(in, 0x0010, 0x0010, "PN", "Doe^Jane");
    AddText(in, 0x0010, 0x1000, "LO", "OTHER-ID");
    Open(in, 0x0040, 0xA730);  // Content Sequence: D, kept without items
    Open(in, 0xFFFE, 0xE000);
    AddText(in, 0x0040, 0xA160, "UT", "free text about Jane Doe");
    Close(in, 0xE00D);
    Close(in, 0xE0DD);
    in.Append(NewElement(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
    in.Append(NewElement(0xFFFE, 0xE000, 0, nullptr, "DL"));
    in.Append(NewElement(0xFFFE, 0xE000, 4, "\xFF\xD8\xFF\xD9", "DL"));
    Close(in, 0xE0DD);

    AnonymizeOptions options;
    options.key = kKey;
    ParseState encoding;
    encoding.metaMode = false;
    ElementList out;
    ASSERT_TRUE(AnonymizeDataSet(in, encoding, options, out));
    EXPECT_TRUE(in.empty());

    const std::vector<Flat> expected{
        {0x0008, 0x0016, Padded("1.2.840.10008.5.1.4.1.1.2")},
        {0x0008, 0x0018, Padded(MappedUid("1.2.3.4", kKey))},
        {0x0008, 0x0020, ""},
        {0x0008, 0x0080, "ANONYMIZED"},
        {0x0008, 0x1140, ""},
        {0xFFFE, 0xE000, ""},
        {0x0008, 0x1150, Padded("1.2.840.10008.5.1.4.1.1.2")},
        {0x0008, 0x1155, Padded(MappedUid("1.2.3.5", kKey))},
        {0x0010, 0x0010, ""},
        {0xFFFE, 0xE00D, ""},
        {0xFFFE, 0xE0DD, ""},
        {0x0008, 0x2112, ""},
        {0xFFFE, 0xE000, ""},
        {0x0008, 0x1155, Padded(MappedUid("1.2.3.6", kKey))},
        {0xFFFE, 0xE00D, ""},
        {0xFFFE, 0xE0DD, ""},
        {0x0010, 0x0010, ""},
        {0x0012, 0x0062, "YES "},
        {0x0012, 0x0063, "Basic Application Confidentiality Profile "},
        {0x0012, 0x0064, ""},
        {0xFFFE, 0xE000, ""},
        {0x0008, 0x0100, "113100"},
        {0x0008, 0x0102, "DCM "},
        {0x0008, 0x0104, "Basic Application Confidentiality Profile "},
        {0xFFFE, 0xE00D, ""},
        {0xFFFE, 0xE0DD, ""},
        {0x0040, 0xA730, ""},
        {0xFFFE, 0xE0DD, ""},
        {0x7FE0, 0x0010, ""},
        {0xFFFE, 0xE000, ""},
        {0xFFFE, 0xE000, "\xFF\xD8\xFF\xD9"},
        {0xFFFE, 0xE0DD, ""},
    };
    std::vector<Flat> got = Elements(out);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].group, expected[i].group) << i;
        EXPECT_EQ(got[i].element, expected[i].element) << i;
        EXPECT_EQ(got[i].value, expected[i].value) << i;
    }
    EXPECT_TRUE(SequencesClosed(out));
}

TEST(DatasetAnonymizer, OptionsKeepShiftAndMaskAndAreNamedInTheMethod) {
    ElementList in;
    AddText(in, 0x0008, 0x0018, "UI", "1.2.3.4");
    AddText(in, 0x0008, 0x0020, "DA", "20200301");
    AddText(in, 0x0008, 0x002A, "DT", "20200301101500");
    AddText(in, 0x0008, 0x0030, "TM", "101500");
    AddText(in, 0x0008, 0x1030, "LO", "Follow-up of Jane Doe");
    AddText(in, 0x0009, 0x1001, "LO", "kept private");
    AddText(in, 0x0010, 0x0010, "PN", "Doe^Jane");
    AddText(in, 0x0010, 0x0040, "CS", "F");
    AnonymizeOptions options;
    options.key = kKey;
    options.retainUids = true;
    options.dateShiftDays = -1;
    options.cleanDescriptors = true;
    options.keepPrivate = true;
    options.retainPatientCharacteristics = true;
    ParseState encoding;
    encoding.metaMode = false;
    ElementList out;
    ASSERT_TRUE(AnonymizeDataSet(in, encoding, options, out));
    EXPECT_EQ(GetElementText(out, 0x0008, 0x0018), "1.2.3.4");
    EXPECT_EQ(GetElementText(out, 0x0008, 0x0020), "20200229");
    EXPECT_EQ(GetElementText(out, 0x0008, 0x002A), "20200229101500");
    EXPECT_EQ(GetElementText(out, 0x0008, 0x0030), "101500");
    EXPECT_EQ(GetElementText(out, 0x0008, 0x1030), "Follow-up of **** ***");
    EXPECT_EQ(GetElementText(out, 0x0009, 0x1001), "kept private");
    EXPECT_EQ(GetElementText(out, 0x0010, 0x0010), "");
    EXPECT_EQ(GetElementText(out, 0x0010, 0x0040), "F");
    EXPECT_EQ(GetElementText(out, 0x0028, 0x0303), "MODIFIED");
    std::string method = GetElementText(out, 0x0012, 0x0063);
    for (const char* option :
         {"Clean Descriptors", "Modified Dates", "Patient Characteristics", "Retain UIDs"})
        EXPECT_NE(method.find(option), std::string::npos) << method;
    int codes = 0;
    for (const auto& e : out) codes += (e->group == 0x0008 && e->element == 0x0100) ? 1 : 0;
    EXPECT_EQ(codes, 5);
}

TEST(DatasetAnonymizer, RefusesADataSetCutInsideASequence) {
    ElementList in;
    AddText(in, 0x0010, 0x0010, "PN", "Doe^Jane");
    Open(in, 0x0008, 0x1140);
    Open(in, 0xFFFE, 0xE000);
    AnonymizeOptions options;
    options.key = kKey;
    ElementList out;
    EXPECT_FALSE(AnonymizeDataSet(in, ParseState{}, options, out));
    EXPECT_TRUE(out.empty());
}
