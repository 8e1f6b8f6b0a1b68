// Query identifiers byte for byte, and records filled from response identifiers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/io/dataset_writer.h"
#include "services/query/query_character_set.h"
#include "services/query/query_identifiers.h"
#include "services/query/query_records.h"
#include "services/query/query_results.h"
#include "support/dicom_bytes.h"

using namespace pella;
using testing_support::DicomBytes;

namespace {

struct RecordOwner {
    QueryLevel level;
    void* record;
    explicit RecordOwner(QueryLevel l) : level(l), record(NewQueryRecord(l)) {}
    ~RecordOwner() { FreeQueryRecord(record, level); }
    void Set(int position, const std::string& text) {
        SetQueryField(record, level, position, text.data(), text.size());
    }
    std::string Get(int position) const { return QueryFieldText(record, level, position); }
};

std::vector<uint8_t> Implicit(const ElementList& list) {
    return SerializeList(list, false, false);
}

// The expected identifier: tags in order, values as given (already padded).
std::vector<uint8_t> Expected(const std::vector<std::pair<uint32_t, std::string>>& keys) {
    DicomBytes b;
    for (const auto& [tag, value] : keys) b.Implicit(uint16_t(tag >> 16), uint16_t(tag), value);
    return b.Bytes();
}

}  // namespace

// Every key is sent, in ascending tag order with the level in its place; odd values are padded
// with a space, UIDs with a zero byte; wildcards and ranges pass untouched.
TEST(QueryIdentifiers, LevelIdentifiersByteForByte) {
    RecordOwner study(QueryLevel::Study);
    study.Set(1, "abc");    // Patient ID, padded with a space
    study.Set(9, "1.2.3");  // Study Instance UID, padded with a zero byte
    study.Set(7, "ID7");    // Study ID
    study.Set(0, "C*");     // wildcard as written
    study.Set(5, "20040101-20041231");
    ElementList identifier;
    BuildIdentifier(QueryLevel::Study, study.record, identifier);
    EXPECT_EQ(Implicit(identifier), Expected({{0x00080020, "20040101-20041231 "},
                                              {0x00080030, ""},
                                              {0x00080050, ""},
                                              {0x00080052, "STUDY "},
                                              {0x00080061, ""},
                                              {0x00080080, ""},
                                              {0x00080090, ""},
                                              {0x00081030, ""},
                                              {0x00100010, "C*"},
                                              {0x00100020, "abc "},
                                              {0x00100030, ""},
                                              {0x00100040, ""},
                                              {0x00101010, ""},
                                              {0x0020000D, std::string("1.2.3\0", 6)},
                                              {0x00200010, "ID7 "}}));

    RecordOwner series(QueryLevel::Series);
    ElementList seriesIdentifier;
    BuildIdentifier(QueryLevel::Series, series.record, seriesIdentifier);
    EXPECT_EQ(Implicit(seriesIdentifier), Expected({{0x00080021, ""},
                                                    {0x00080031, ""},
                                                    {0x00080052, "SERIES"},
                                                    {0x00080060, ""},
                                                    {0x0008103E, ""},
                                                    {0x00180015, ""},
                                                    {0x00181030, ""},
                                                    {0x00185100, ""},
                                                    {0x0020000D, ""},
                                                    {0x0020000E, ""},
                                                    {0x00200011, ""}}));

    RecordOwner image(QueryLevel::Image);
    ElementList imageIdentifier;
    BuildIdentifier(QueryLevel::Image, image.record, imageIdentifier);
    EXPECT_EQ(Implicit(imageIdentifier), Expected({{0x00080008, ""},
                                                   {0x00080016, ""},
                                                   {0x00080018, ""},
                                                   {0x00080022, ""},
                                                   {0x00080023, ""},
                                                   {0x00080032, ""},
                                                   {0x00080033, ""},
                                                   {0x00080052, "IMAGE "},
                                                   {0x0020000D, ""},
                                                   {0x0020000E, ""},
                                                   {0x00200011, ""},
                                                   {0x00200012, ""},
                                                   {0x00200013, ""},
                                                   {0x00200030, ""},
                                                   {0x00200032, ""},
                                                   {0x00200037, ""},
                                                   {0x00200052, ""},
                                                   {0x00201041, ""},
                                                   {0x00280008, ""}}));
}

// The 26-element worklist identifier: step keys inside one undefined-length item; fields
// [5] and [9] from their own positions; every field the record holds reaches its key.
TEST(QueryIdentifiers, WorklistIdentifierByteForByte) {
    RecordOwner wl(QueryLevel::Worklist);
    wl.Set(1, "12345");     // Patient ID: 5 characters, one trailing space
    wl.Set(12, "CT");       // Modality: even, unpadded, inside the item
    wl.Set(5, "REQ^DOC");   // Requesting Physician
    wl.Set(9, "HEAD");      // Requested Procedure Description
    wl.Set(13, "STATION");  // Scheduled Station AE Title, inside the item
    wl.Set(7, "IODINE");    // Contrast Allergies
    wl.Set(15, "AGENT");    // Requested Contrast Agent, inside the item, padded
    wl.Set(21, "RP1");      // Requested Procedure ID, after the sequence
    wl.Set(22, "HIGH");     // Requested Procedure Priority
    ElementList identifier;
    BuildIdentifier(QueryLevel::Worklist, wl.record, identifier);
    DicomBytes b;
    b.Implicit(0x0008, 0x0050, "").Implicit(0x0010, 0x0010, "").Implicit(0x0010, 0x0020, "12345 ");
    b.Implicit(0x0010, 0x0030, "").Implicit(0x0010, 0x0040, "").Implicit(0x0010, 0x2110, "IODINE");
    b.Implicit(0x0020, 0x000D, "").Implicit(0x0032, 0x1032, "REQ^DOC ").Implicit(0x0032, 0x1060, "HEAD");
    b.TagLength(0x0040, 0x0100, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    b.Implicit(0x0008, 0x0060, "CT").Implicit(0x0032, 0x1070, "AGENT ").Implicit(0x0040, 0x0001, "STATION ");
    for (uint16_t e : {0x0002, 0x0003, 0x0006, 0x0007, 0x0009, 0x0010, 0x0011, 0x0012})
        b.Implicit(0x0040, e, "");
    b.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    b.Implicit(0x0040, 0x1001, "RP1 ").Implicit(0x0040, 0x1003, "HIGH");
    EXPECT_EQ(identifier.size(), 26u);
    EXPECT_EQ(Implicit(identifier), b.Bytes());
}

// A response's record: its own top-level values, untrimmed, cut at a zero byte and never read
// past the element's length; a UID inside a returned sequence never overwrites the match's own.
TEST(QueryResults, TopLevelValuesOnly) {
    ElementList identifier;
    identifier.Append(NewElement(0x0010, 0x0010, 8, "DOE^JO  ", "PN"));
    identifier.Append(NewElement(0x0020, 0x000D, 6, std::string("1.2.3\0", 6).data(), "UI"));
    identifier.Append(NewElement(0x0008, 0x1110, kUndefinedLength, nullptr, "SQ"));
    identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    identifier.Append(NewElement(0x0020, 0x000D, 4, "9.9.", "UI"));
    identifier.Append(NewElement(0x0010, 0x0020, 4, "NEST", "LO"));
    identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    identifier.Append(NewElement(0x0008, 0x0020, 8, "20010101", "DA"));  // no zero byte after it
    void* record = RecordFromIdentifier(QueryLevel::Study, identifier, false);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(QueryFieldText(record, QueryLevel::Study, 0), "DOE^JO  ");
    EXPECT_EQ(QueryFieldText(record, QueryLevel::Study, 9), "1.2.3");
    EXPECT_EQ(QueryFieldText(record, QueryLevel::Study, 1), "");
    EXPECT_EQ(QueryFieldText(record, QueryLevel::Study, 5), "20010101");
    EXPECT_EQ(QueryFieldText(record, QueryLevel::Study, 11), "");
    FreeQueryRecord(record, QueryLevel::Study);
}

namespace {

// A worklist response: top-level Modality (ignored), then the step sequence with two items,
// flat (undefined lengths) or encoded with defined lengths in implicit VR little endian.
ElementList WorklistResponse(bool definedLength) {
    ElementList identifier;
    identifier.Append(NewElement(0x0008, 0x0060, 2, "XX", "CS"));
    identifier.Append(NewElement(0x0010, 0x0020, 4, "P001", "LO"));
    DicomBytes items;
    for (const char* modality : {"MR", "CT"}) {
        DicomBytes item;
        item.Implicit(0x0008, 0x0060, modality)
            .Implicit(0x0040, 0x0009, "STEP")
            .Implicit(0x0032, 0x1070, "AGENT ");
        items.TagLength(0xFFFE, 0xE000, uint32_t(item.Size())).Raw(item.Bytes());
    }
    if (definedLength) {
        identifier.Append(NewElement(0x0040, 0x0100, int32_t(items.Size()), items.Bytes().data(), "SQ"));
    } else {
        identifier.Append(NewElement(0x0040, 0x0100, kUndefinedLength, nullptr, "SQ"));
        for (const char* modality : {"MR", "CT"}) {
            identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
            identifier.Append(NewElement(0x0008, 0x0060, 2, modality, "CS"));
            identifier.Append(NewElement(0x0040, 0x0009, 4, "STEP", "SH"));
            identifier.Append(NewElement(0x0032, 0x1070, 6, "AGENT ", "LO"));
            identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        }
        identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    }
    identifier.Append(NewElement(0x0040, 0x0009, 4, "TOPX", "SH"));  // outside the sequence: ignored
    return identifier;
}

}  // namespace

TEST(QueryResults, WorklistStepSequenceInBothForms) {
    for (bool defined : {false, true}) {
        SCOPED_TRACE(defined ? "defined length" : "undefined length");
        void* record = RecordFromIdentifier(QueryLevel::Worklist, WorklistResponse(defined), false);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(QueryFieldText(record, QueryLevel::Worklist, 12), "CT");  // the last item's
        EXPECT_EQ(QueryFieldText(record, QueryLevel::Worklist, 16), "STEP");
        EXPECT_EQ(QueryFieldText(record, QueryLevel::Worklist, 15), "AGENT ");
        EXPECT_EQ(QueryFieldText(record, QueryLevel::Worklist, 1), "P001");
        FreeQueryRecord(record, QueryLevel::Worklist);
    }
    // A defined-length sequence that does not hold whole elements cannot be decoded.
    ElementList broken;
    broken.Append(NewElement(0x0040, 0x0100, 10, "\xFE\xFF\x00\xE0\x40\x00\x00\x00\x08\x00", "SQ"));
    EXPECT_EQ(RecordFromIdentifier(QueryLevel::Worklist, broken, false), nullptr);
}

// The identifier declares the character set of keys holding non-ASCII text: UTF-8 as ISO_IR
// 192, other 8-bit text (malformed UTF-8 included) as Latin-1; ASCII keys declare none.
TEST(QueryIdentifiers, CharacterSetOfNonAsciiKeys) {
    struct Case {
        const char* name;
        std::vector<std::string> values;
        const char* expected;
    };
    const Case cases[] = {
        {"ASCII", {"SMITH*", "", "P1"}, nullptr},
        {"two-byte UTF-8", {"M\xC3\xBCLLER", "P1"}, "ISO_IR 192"},
        {"four-byte UTF-8", {"\xF0\x9F\x98\x80"}, "ISO_IR 192"},
        {"Latin-1", {"M\xFCLLER"}, "ISO_IR 100"},
        {"overlong form", {"\xC0\xAF"}, "ISO_IR 100"},
        {"surrogate", {"\xED\xA0\x80"}, "ISO_IR 100"},
        {"truncated sequence", {"\xE2\x82"}, "ISO_IR 100"},
        {"above U+10FFFF", {"\xF4\x90\x80\x80"}, "ISO_IR 100"},
        {"UTF-8 beside Latin-1", {"M\xC3\xBCLLER", "\xE9"}, "ISO_IR 100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* set = CharacterSetOfKeys(c.values);
        EXPECT_EQ(set ? std::string(set) : "(none)", c.expected ? std::string(c.expected) : "(none)");
    }
    // In the identifier: first, before every key; the worklist's step keys count too.
    RecordOwner wl(QueryLevel::Worklist);
    wl.Set(18, "R\xC3\x96NTGEN");  // Scheduled Station Name, inside the step item
    ElementList identifier;
    BuildIdentifier(QueryLevel::Worklist, wl.record, identifier);
    ASSERT_EQ(identifier.size(), 27u);
    const DataElement& first = **identifier.begin();
    EXPECT_EQ(first.group, 0x0008);
    EXPECT_EQ(first.element, 0x0005);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.value), std::size_t(first.length)),
              "ISO_IR 192");
}

// Each record position's VR and keyword come from the dictionary; only the worklist's step
// fields sit inside the step sequence item.
TEST(QueryRecordLayout, DictionaryKeywordsAndPlaces) {
    const std::pair<const char*, const char*> names[] = {
        {"Patient's Name", "PatientName"},
        {"Image Position (RET)", "ImagePosition"},
        {"Frame of Reference UID", "FrameOfReferenceUID"},
        {"Image Orientation (Patient)", "ImageOrientationPatient"},
        {"Scheduled Performing Physician's Name", "ScheduledPerformingPhysicianName"},
        {"Pre-Medication", "PreMedication"},
        {"Scheduled Station AE Title", "ScheduledStationAETitle"},
    };
    for (const auto& [name, keyword] : names) EXPECT_EQ(KeywordOf(name), keyword) << name;
    EXPECT_EQ(KeywordOf("Name of Physician(s) Reading Study"), "NameOfPhysiciansReadingStudy");
    struct Level {
        QueryLevel level;
        std::size_t count;
        std::size_t inStep;
    };
    for (const Level& l : {Level{QueryLevel::Study, 14, 0}, Level{QueryLevel::Series, 10, 0},
                           Level{QueryLevel::Image, 18, 0}, Level{QueryLevel::Worklist, 23, 11}}) {
        auto fields = QueryFields(l.level);
        EXPECT_EQ(fields.size(), l.count);
        std::size_t inStep = 0;
        for (const QueryField& f : fields) {
            if (f.group == 0) continue;  // the worklist's unused slot
            EXPECT_EQ(std::strlen(f.vr), 2u) << f.group << "," << f.element;
            EXPECT_GT(std::strlen(f.keyword), 0u) << f.group << "," << f.element;
            inStep += f.inStep ? 1 : 0;
        }
        EXPECT_EQ(inStep, l.inStep);
    }
    const QueryField& allergies = QueryFields(QueryLevel::Worklist)[7];
    EXPECT_STREQ(allergies.keyword, "Allergies");
    EXPECT_STREQ(allergies.vr, "LO");
    EXPECT_STREQ(QueryFields(QueryLevel::Image)[14].keyword, "ImagePosition");
}
