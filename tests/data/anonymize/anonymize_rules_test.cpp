// The anonymizer's rules one by one: the profile table's lookups, how options turn a code into
// an action, the UID mapping, date shifts, dummy values, masking, the burned-in test, and
// placing attributes at the top level.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "data/anonymize/attribute_actions.h"
#include "data/anonymize/burned_in_annotation.h"
#include "data/anonymize/identity_terms.h"
#include "data/anonymize/replacement_values.h"
#include "data/anonymize/top_level_placement.h"
#include "data/anonymize/uid_mapping.h"
#include "data/registry/confidentiality_profile.h"
#include "data/registry/uid.h"
#include "support/data_set_builder.h"

using namespace pella;
using testing_support::AddText;

namespace {

// The UID mapping written out again the slow way: HMAC-SHA256, the first 16 bytes as a
// big-endian number, in decimal by long division.
std::string ReferenceMappedUid(const std::string& uid, const std::string& key) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(uid.data()), uid.size(), digest, &length);
    std::vector<int> bytes(digest, digest + 16);
    std::string digits;
    while (std::any_of(bytes.begin(), bytes.end(), [](int b) { return b != 0; })) {
        int remainder = 0;
        for (int& b : bytes) {
            int value = remainder * 256 + b;
            b = value / 10;
            remainder = value % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    }
    return "2.25." + (digits.empty() ? std::string("0") : digits);
}

}  // namespace

TEST(ConfidentialityProfile, FindsExactRepeatingAndPrivateRows) {
    struct Case {
        uint16_t group, element;
        const char* name;  // nullptr: not in the table
        const char* basic;
    };
    const Case cases[] = {
        {0x0010, 0x0010, "Patient's Name", "Z"},
        {0x0008, 0x0018, "SOP Instance UID", "U"},
        {0x0008, 0x1140, "Referenced Image Sequence", "X/Z/U*"},
        {0x0008, 0x0080, "Institution Name", "X/Z/D"},
        {0x6000, 0x3000, "Overlay Data", "X"},
        {0x601E, 0x4000, "Overlay Comments", "X"},
        {0x5004, 0x0010, "Curve Data", "X"},
        {0x0029, 0x1010, "Private attributes", "X"},
        {0x6000, 0x0010, nullptr, nullptr},  // Overlay Rows: kept
        {0x0008, 0x0016, nullptr, nullptr},  // SOP Class UID: kept
        {0x7FE0, 0x0010, nullptr, nullptr},  // Pixel Data: kept
    };
    for (const Case& c : cases) {
        const ProfileRow* row = FindProfileRow(c.group, c.element);
        if (c.name == nullptr) {
            EXPECT_EQ(row, nullptr) << std::hex << c.group << "," << c.element;
            continue;
        }
        ASSERT_NE(row, nullptr) << c.name;
        EXPECT_STREQ(row->name, c.name);
        EXPECT_STREQ(row->basic, c.basic);
    }
    EXPECT_GT(ProfileRows().size(), 400u);
    EXPECT_NE(std::string(kConfidentialityProfileEdition).find("PS3.15"), std::string::npos);
}

TEST(AttributeActions, OptionsTurnTheTableCodesIntoActions) {
    AnonymizeOptions basic;
    AnonymizeOptions uids;
    uids.retainUids = true;
    AnonymizeOptions device;
    device.retainDeviceIdentity = true;
    AnonymizeOptions dates;
    dates.retainFullDates = true;
    AnonymizeOptions shifted;
    shifted.dateShiftDays = 10;
    AnonymizeOptions clean;
    clean.cleanDescriptors = true;
    AnonymizeOptions characteristics;
    characteristics.retainPatientCharacteristics = true;
    characteristics.cleanDescriptors = true;
    AnonymizeOptions privates;
    privates.keepPrivate = true;
    struct Case {
        uint16_t group, element;
        const AnonymizeOptions* options;
        AttributeAction expected;
    };
    const Case cases[] = {
        {0x0010, 0x0010, &basic, AttributeAction::kEmpty},        // Patient's Name Z
        {0x0010, 0x1000, &basic, AttributeAction::kRemove},       // Other Patient IDs X
        {0x0008, 0x0080, &basic, AttributeAction::kDummy},        // Institution Name X/Z/D
        {0x0008, 0x0022, &basic, AttributeAction::kEmpty},        // Acquisition Date X/Z
        {0x0018, 0x1030, &basic, AttributeAction::kDummy},        // Protocol Name X/D
        {0x0008, 0x0018, &basic, AttributeAction::kReplaceUids},  // SOP Instance UID U
        {0x0008, 0x0018, &uids, AttributeAction::kKeep},
        {0x0008, 0x1140, &basic, AttributeAction::kKeep},   // X/Z/U*: items walked
        {0x0008, 0x1120, &uids, AttributeAction::kRemove},  // Referenced Patient Sequence
        {0x0018, 0x1000, &device, AttributeAction::kKeep},  // Device Serial Number
        {0x0018, 0x1002, &device, AttributeAction::kKeep},  // Device UID: K in both
        {0x0018, 0x1002, &basic, AttributeAction::kReplaceUids},
        {0x0008, 0x0020, &dates, AttributeAction::kKeep},  // Study Date
        {0x0008, 0x0020, &shifted, AttributeAction::kClean},
        {0x0008, 0x1030, &clean, AttributeAction::kClean},  // Study Description
        {0x0008, 0x1030, &basic, AttributeAction::kRemove},
        {0x0010, 0x2110, &characteristics, AttributeAction::kClean},  // Allergies: C and C
        {0x0010, 0x1010, &characteristics, AttributeAction::kKeep},   // Patient's Age
        {0x0029, 0x1010, &basic, AttributeAction::kRemove},
        {0x0029, 0x1010, &privates, AttributeAction::kKeep},
        {0x0028, 0x0000, &basic, AttributeAction::kRemove},  // group length
        {0x0028, 0x0010, &basic, AttributeAction::kKeep},    // Rows
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ActionForTag(c.group, c.element, *c.options), c.expected)
            << std::hex << c.group << "," << c.element;
    }
    EXPECT_EQ(BasicAction("a code of a later edition"), AttributeAction::kRemove);
}

TEST(UidMapping, IsTheKeyedDigestInDecimalAndAValidUid) {
    const std::string uids[] = {"1.2.3", "1.2.840.113619.2.55.3.604688119.969.1268071029.320",
                                "1.3.6.1.4.1.9590.100.1.2.227776817313443872620744441692571990763", "0"};
    for (const std::string& uid : uids) {
        for (const std::string key : {"k", "another key"}) {
            std::string mapped = MappedUid(uid, key);
            EXPECT_EQ(mapped, ReferenceMappedUid(uid, key)) << uid;
            EXPECT_TRUE(IsValidUid(mapped)) << mapped;
            EXPECT_LE(mapped.size(), 64u);
        }
        EXPECT_NE(MappedUid(uid, "k"), MappedUid(uid, "another key"));
        EXPECT_EQ(MappedUid(uid + std::string(1, '\0'), "k"), MappedUid(uid, "k"));  // padding ignored
    }
    std::string value = MappedUidValue(std::string("1.2.3\\1.2.4 "), "k");
    std::string expected = MappedUid("1.2.3", "k") + "\\" + MappedUid("1.2.4", "k");
    if (expected.size() % 2) expected.push_back('\0');
    EXPECT_EQ(value, expected);
    EXPECT_EQ(MappedUidValue("", "k"), "");
}

TEST(ReplacementValues, DatesMoveByWholeDaysOrAreRefused) {
    struct Case {
        const char* value;
        int days;
        bool dateTime;
        const char* expected;  // nullptr: refused
    };
    const Case cases[] = {
        {"20200101", -1, false, "20191231"},
        {"20200228", 1, false, "20200229"},
        {"20190228", 1, false, "20190301"},
        {"20001231", 366, false, "20020101"},
        {"20200101\\20200105", 10, false, "20200111\\20200115 "},
        {"20200101120000.5+0100", 31, true, "20200201120000.5+0100 "},
        {"2020", 1, false, nullptr},
        {"2020.01.01", 1, false, nullptr},
        {"20200101-20200201", 1, false, nullptr},
        {"20200101-20200201", 1, true, nullptr},
        {"20200101-0500", 1, true, "20200102-0500 "},
        {"202001011200-0500", 1, true, "202001021200-0500 "},
        {"20200101120000.123456+0100", 1, true, "20200102120000.123456+0100"},
        {"20200101120000.1234567", 1, true, nullptr},
        {"2020010112-050000", 1, true, nullptr},
        {"20201301", 1, false, nullptr},
        {"99991231", 1, false, nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::string> shifted = ShiftedDates(c.value, c.days, c.dateTime);
        if (c.expected == nullptr) {
            EXPECT_FALSE(shifted) << c.value << " -> " << *shifted;
        } else {
            ASSERT_TRUE(shifted) << c.value;
            EXPECT_EQ(*shifted, c.expected);
        }
    }
}

TEST(ReplacementValues, DummiesFitTheirVr) {
    EXPECT_EQ(DummyValue("DA"), "19000101");
    EXPECT_EQ(DummyValue("TM"), "000000");
    EXPECT_EQ(DummyValue("PN"), "ANONYMIZED");
    EXPECT_EQ(DummyValue("AS"), "000D");
    EXPECT_EQ(DummyValue("IS"), "0 ");
    EXPECT_EQ(DummyValue("US"), std::string(2, '\0'));
    EXPECT_EQ(DummyValue("FD"), std::string(8, '\0'));
    EXPECT_EQ(DummyValue("OB"), "");
    EXPECT_EQ(DummyValue("UI"), "");
}

TEST(IdentityTerms, MasksNamesAndIdsInAnyCase) {
    ElementList list;
    AddText(list, 0x0008, 0x0050, "SH", "ACC123");
    AddText(list, 0x0008, 0x0090, "PN", "Welby^Marcus");
    AddText(list, 0x0010, 0x0010, "PN", "Doe^Jane^Q");
    AddText(list, 0x0010, 0x0020, "LO", "PID-77");
    IdentityTerms terms = IdentityTerms::From(list);
    EXPECT_EQ(terms.Masked("Jane DOE, id pid-77, acc ACC123; seen by Dr. welby"),
              "**** ***, id ******, acc ******; seen by Dr. *****");
    EXPECT_EQ(terms.Masked("CHEST PA"), "CHEST PA");  // the one-letter middle name masks nothing
}

TEST(BurnedInAnnotation, RefusesYesAndTheClassesThatCommonlyShowText) {
    struct Case {
        const char* sopClass;
        const char* annotation;  // nullptr: absent
        bool mayShow;
    };
    const Case cases[] = {
        {"1.2.840.10008.5.1.4.1.1.2", nullptr, false},  // CT
        {"1.2.840.10008.5.1.4.1.1.2", "YES", true},
        {"1.2.840.10008.5.1.4.1.1.6.1", nullptr, true},  // US
        {"1.2.840.10008.5.1.4.1.1.6.1", "NO", false},
        {"1.2.840.10008.5.1.4.1.1.6.1", "", true},
        {"1.2.840.10008.5.1.4.1.1.7", nullptr, true},      // secondary capture
        {"1.2.840.10008.5.1.4.1.1.104.1", nullptr, true},  // encapsulated PDF
    };
    for (const Case& c : cases) {
        ElementList list;
        AddText(list, 0x0008, 0x0016, "UI", c.sopClass);
        if (c.annotation) AddText(list, 0x0028, 0x0301, "CS", c.annotation);
        EXPECT_EQ(MayShowBurnedInText(list), c.mayShow)
            << c.sopClass << " " << (c.annotation ? c.annotation : "-");
    }
}

TEST(TopLevelPlacement, InsertsInTagOrderAndReplacesAWholeSequence) {
    ElementList list;
    AddText(list, 0x0008, 0x0016, "UI", "1.2");
    list.Append(NewElement(0x0012, 0x0064, kUndefinedLength, nullptr, "SQ"));
    list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    AddText(list, 0x0012, 0x0062, "CS", "NO");  // inside the item: not the top-level one
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    AddText(list, 0x0020, 0x0010, "SH", "S1");

    std::vector<ElementPtr> yes;
    yes.push_back(NewElement(0x0012, 0x0062, 4, "YES ", "CS"));
    PlaceAtTopLevel(list, std::move(yes));
    std::vector<ElementPtr> sequence;
    sequence.push_back(NewElement(0x0012, 0x0064, kUndefinedLength, nullptr, "SQ"));
    sequence.push_back(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    PlaceAtTopLevel(list, std::move(sequence));

    std::vector<std::pair<uint16_t, uint16_t>> tags;
    for (const auto& e : list) tags.emplace_back(e->group, e->element);
    std::vector<std::pair<uint16_t, uint16_t>> expected{
        {0x0008, 0x0016}, {0x0012, 0x0062}, {0x0012, 0x0064}, {0xFFFE, 0xE0DD}, {0x0020, 0x0010}};
    EXPECT_EQ(tags, expected);
    EXPECT_EQ(GetElementText(list, 0x0012, 0x0062), "YES");
}
