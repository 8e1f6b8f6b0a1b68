// Query identifiers byte for byte, and records filled from response identifiers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/io/dataset_writer.h"
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

std::vector<uint8_t> Implicit(const ElementList& list) { return SerializeList(list, false, false); }

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
    study.Set(1, "abc");             // Patient ID, padded with a space
    study.Set(9, "1.2.3");           // Study Instance UID, padded with a zero byte
    study.Set(7, "ID7");             // Study ID
    study.Set(0, "C*");              // wildcard as written
    study.Set(5, "20040101-20041231");
    ElementList identifier;
    BuildStudyIdentifier(study.record, identifier);
    EXPECT_EQ(Implicit(identifier),
              Expected({{0x00080020, "20040101-20041231 "}, {0x00080030, ""}, {0x00080050, ""},
                        {0x00080052, "STUDY "}, {0x00080061, ""}, {0x00080080, ""}, {0x00080090, ""},
                        {0x00081030, ""}, {0x00100010, "C*"}, {0x00100020, "abc "}, {0x00100030, ""},
                        {0x00100040, ""}, {0x00101010, ""}, {0x0020000D, std::string("1.2.3\0", 6)},
                        {0x00200010, "ID7 "}}));

    RecordOwner series(QueryLevel::Series);
    ElementList seriesIdentifier;
    BuildSeriesIdentifier(series.record, seriesIdentifier);
    EXPECT_EQ(Implicit(seriesIdentifier),
              Expected({{0x00080021, ""}, {0x00080031, ""}, {0x00080052, "SERIES"}, {0x00080060, ""},
                        {0x0008103E, ""}, {0x00180015, ""}, {0x00181030, ""}, {0x00185100, ""},
                        {0x0020000D, ""}, {0x0020000E, ""}, {0x00200011, ""}}));

    RecordOwner image(QueryLevel::Image);
    ElementList imageIdentifier;
    BuildImageIdentifier(image.record, imageIdentifier);
    EXPECT_EQ(Implicit(imageIdentifier),
              Expected({{0x00080008, ""}, {0x00080016, ""}, {0x00080018, ""}, {0x00080022, ""},
                        {0x00080023, ""}, {0x00080032, ""}, {0x00080033, ""}, {0x00080052, "IMAGE "},
                        {0x0020000D, ""}, {0x0020000E, ""}, {0x00200011, ""}, {0x00200012, ""},
                        {0x00200013, ""}, {0x00200030, ""}, {0x00200032, ""}, {0x00200037, ""},
                        {0x00200052, ""}, {0x00201041, ""}, {0x00280008, ""}}));
}

// The 26-element worklist identifier: step keys inside one undefined-length item; fields
// [5] and [9] from their own positions; keys the record does not send stay empty.
TEST(QueryIdentifiers, WorklistIdentifierByteForByte) {
    RecordOwner wl(QueryLevel::Worklist);
    wl.Set(1, "12345");     // Patient ID: 5 characters, one trailing space
    wl.Set(12, "CT");       // Modality: even, unpadded, inside the item
    wl.Set(5, "REQ^DOC");   // Requesting Physician
    wl.Set(9, "HEAD");      // Requested Procedure Description
    wl.Set(13, "STATION");  // Scheduled Station AE Title: not sent
    wl.Set(21, "RP1");      // Requested Procedure ID: not sent
    ElementList identifier;
    BuildWorklistIdentifier(wl.record, identifier);
    DicomBytes b;
    b.Implicit(0x0008, 0x0050, "").Implicit(0x0010, 0x0010, "").Implicit(0x0010, 0x0020, "12345 ");
    b.Implicit(0x0010, 0x0030, "").Implicit(0x0010, 0x0040, "").Implicit(0x0010, 0x2110, "");
    b.Implicit(0x0020, 0x000D, "").Implicit(0x0032, 0x1032, "REQ^DOC ").Implicit(0x0032, 0x1060, "HEAD");
    b.TagLength(0x0040, 0x0100, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    b.Implicit(0x0008, 0x0060, "CT").Implicit(0x0032, 0x1070, "").Implicit(0x0040, 0x0001, "");
    for (uint16_t e : {0x0002, 0x0003, 0x0006, 0x0007, 0x0009, 0x0010, 0x0011, 0x0012})
        b.Implicit(0x0040, e, "");
    b.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    b.Implicit(0x0040, 0x1001, "").Implicit(0x0040, 0x1003, "");
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
        item.Implicit(0x0008, 0x0060, modality).Implicit(0x0040, 0x0009, "STEP").Implicit(0x0032, 0x1070, "AGENT ");
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
