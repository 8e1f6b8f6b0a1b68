// Rules of the readers that real sample files would not show when broken.
#include <gtest/gtest.h>

#include <cstring>

#include "data/io/dataset_reader.h"
#include "data/io/sequence_decoding.h"
#include "support/dicom_bytes.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::DicomBytes;
using testing_support::MetaGroup;
using testing_support::Preamble;
using testing_support::TempDir;

namespace {

struct ReadResult {
    bool ok = false;
    ElementList meta;
    ElementList data;
    ParseState state;
};

ReadResult ReadBytes(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    std::string file = dir.Write("test.dcm", bytes);
    ReadResult r;
    r.ok = ReadPart10File(file, r.meta, r.data, r.state);
    return r;
}

std::string Value(const DataElement& e) {
    return e.length > 0 ? std::string(reinterpret_cast<char*>(e.value), static_cast<std::size_t>(e.length))
                        : "";
}

}  // namespace

TEST(Part10Reader, ReadsExplicitLittleEndianAndFixesMetaVRs) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    file.Explicit(0x0002, 0x9999, "LO", "PRIVATE ");  // outside the declared group length
    file.Explicit(0x0008, 0x0060, "CS", "CT");
    file.Explicit(0x0010, 0x0010, "PN", "Doe^John");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.meta.size(), 6u);
    EXPECT_EQ(std::string(r.meta[0].vr), "UL");
    EXPECT_EQ(std::string(r.meta[5].vr), "LO");  // a private meta element keeps the VR read
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_EQ(Value(r.data[1]), "Doe^John");
    EXPECT_TRUE(r.state.explicitVR);
    EXPECT_FALSE(r.state.bigEndian);
}

TEST(Part10Reader, VersionElementIsAlwaysOB) {
    DicomBytes body;
    body.Explicit(0x0002, 0x0001, "UN", std::string("\0\1", 2));
    body.Explicit(0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1\0");
    DicomBytes file = Preamble();
    file.U16(2).U16(0).Text("UL").U16(4).U32(static_cast<uint32_t>(body.Size())).Raw(body.Bytes());
    file.Explicit(0x0008, 0x0060, "CS", "CT");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.meta[1].vr), "OB");
}

TEST(Part10Reader, ImplicitDataSetAndImplicitMetaGroup) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2"));
    file.Implicit(0x0008, 0x0060, "MR");
    file.Implicit(0x0028, 0x0010, std::string("\0\2", 2));
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_FALSE(r.state.explicitVR);
    EXPECT_EQ(r.data[1].vr[0], '\0');
    EXPECT_EQ(GetElementText(r.data, 0x0028, 0x0010), "512");

    // The meta group itself written implicitly: the whole file is implicit whatever
    // (0002,0010) says.
    DicomBytes implicitMeta = Preamble();
    implicitMeta.Implicit(0x0002, 0x0000, std::string("\x1C\0\0\0", 4));
    implicitMeta.Implicit(0x0002, 0x0010, std::string("1.2.840.10008.1.2.1\0", 20));
    implicitMeta.Implicit(0x0008, 0x0060, "MR");
    ReadResult im = ReadBytes(implicitMeta.Bytes());
    ASSERT_TRUE(im.ok);
    EXPECT_FALSE(im.state.explicitVR);
    ASSERT_EQ(im.meta.size(), 2u);
    EXPECT_EQ(im.meta[0].length, 4);
    EXPECT_EQ(std::string(im.meta[0].vr), "UL");  // the fixed meta VRs still apply
    ASSERT_EQ(im.data.size(), 1u);
    EXPECT_EQ(Value(im.data[0]), "MR");
}

TEST(Part10Reader, BigEndianDataSetKeepsValueBytesUnswapped) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.2"));
    file.BigEndian(true);
    file.Explicit(0x0028, 0x0010, "US", std::string("\x02\x00", 2));  // 512 big endian
    file.Explicit(0x0028, 0x0100, "US", std::string("\x00\x10", 2));
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.state.bigEndian);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_EQ(r.data[0].group, 0x0028);
    EXPECT_EQ(r.data[0].element, 0x0010);
    EXPECT_EQ(r.data[0].value[0], 0x02);  // not reordered by the reader
    EXPECT_EQ(r.data[1].element, 0x0100);
}

TEST(Part10Reader, UtUsesTheLongForm) {
    std::string text(70000, 'x');
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    file.Explicit(0x0008, 0x0060, "CS", "CT");
    file.Explicit(0x0040, 0xA160, "UT", text);
    file.Explicit(0x0040, 0xA170, "CS", "OK");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 3u);
    EXPECT_EQ(r.data[1].length, 70000);
    EXPECT_EQ(Value(r.data[2]), "OK");
}

TEST(Part10Reader, TransferSyntaxLastInTheMetaGroupStillSteersTheDataSet) {
    DicomBytes body;
    body.Explicit(0x0002, 0x0001, "OB", std::string("\0\1", 2));
    body.Explicit(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2\0", 18));
    DicomBytes file = Preamble();
    file.U16(2).U16(0).Text("UL").U16(4).U32(static_cast<uint32_t>(body.Size())).Raw(body.Bytes());
    file.Implicit(0x0008, 0x0060, "MR");
    file.Implicit(0x0010, 0x0020, "ID42");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.state.explicitVR);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_EQ(Value(r.data[1]), "ID42");
}

TEST(Part10Reader, SpacePaddedTransferSyntaxIsRecognised) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2 "));
    file.Implicit(0x0008, 0x0060, "MR");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.state.explicitVR);
}

TEST(Part10Reader, OneByteShortIsAcceptedAndMoreIsRefused) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    file.U16(0x0010).U16(0x0020).Text("LO").U16(6).Text("ABCDE");
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 1u);
    EXPECT_EQ(r.data[0].length, 6);
    EXPECT_EQ(r.data[0].value[5], 0);

    DicomBytes twoShort = Preamble();
    twoShort.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    twoShort.Explicit(0x0008, 0x0060, "CS", "CT");
    twoShort.U16(0x0010).U16(0x0020).Text("LO").U16(6).Text("ABCD");
    ReadResult bad = ReadBytes(twoShort.Bytes());
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.data.size(), 1u);  // what was read before the failure stays
}

TEST(Part10Reader, RefusesFilesWithoutPreambleAndMissingFiles) {
    DicomBytes noPreamble;
    noPreamble.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    noPreamble.Explicit(0x0008, 0x0060, "CS", "CT");
    ReadResult r = ReadBytes(noPreamble.Bytes());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.meta.empty());
    EXPECT_TRUE(r.data.empty());

    ElementList meta, data;
    ParseState state;
    EXPECT_FALSE(ReadPart10File("/nonexistent/file.dcm", meta, data, state));
    EXPECT_FALSE(ReadPart10File("/tmp", meta, data, state));  // a folder is not a file
}

TEST(Part10Reader, LyingLengthsFailWithoutHugeAllocations) {
    for (uint32_t lie : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFEu, 1000u}) {
        DicomBytes file = Preamble();
        file.Raw(MetaGroup("1.2.840.10008.1.2"));
        file.Implicit(0x0008, 0x0060, "MR");
        file.TagLength(0x7FE0, 0x0010, lie).Text("only a few bytes");
        ReadResult r = ReadBytes(file.Bytes());
        EXPECT_FALSE(r.ok) << lie;
        EXPECT_EQ(r.data.size(), 1u);
    }
    // A header cut in the middle.
    DicomBytes cut = Preamble();
    cut.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    cut.U16(0x0008).U16(0x0060).Text("C");
    EXPECT_FALSE(ReadBytes(cut.Bytes()).ok);
    // A group length that points outside the file does no harm.
    DicomBytes wildGroupLength = Preamble();
    wildGroupLength.U16(2).U16(0).Text("UL").U16(4).U32(0xFFFFFFF0u);
    wildGroupLength.Explicit(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1\0", 20));
    wildGroupLength.Explicit(0x0008, 0x0060, "CS", "CT");
    ReadResult wild = ReadBytes(wildGroupLength.Bytes());
    EXPECT_TRUE(wild.ok);
    EXPECT_EQ(wild.data.size(), 1u);
}

TEST(Part10Reader, UndefinedLengthSequencesAndEncapsulatedPixelDataStayFlat) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.4.70"));
    file.U16(0x0008).U16(0x1140).Text("SQ").U16(0).U32(0xFFFFFFFF);
    file.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    file.Explicit(0x0008, 0x1150, "UI", std::string("1.2\0", 4));
    file.TagLength(0xFFFE, 0xE00D, 0);
    file.TagLength(0xFFFE, 0xE0DD, 0);
    file.U16(0x7FE0).U16(0x0010).Text("OB").U16(0).U32(0xFFFFFFFF);
    file.TagLength(0xFFFE, 0xE000, 0);
    file.TagLength(0xFFFE, 0xE000, 4).Text("\xFF\xD8\xFF\xD9");
    file.TagLength(0xFFFE, 0xE0DD, 0);
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 9u);
    EXPECT_EQ(r.data[0].length, -1);
    EXPECT_EQ(r.data[1].group, 0xFFFE);
    EXPECT_EQ(r.data[5].length, -1);
    EXPECT_EQ(r.data[7].length, 4);
    EXPECT_EQ(r.data[8].element, 0xE0DD);
}

TEST(DatasetAndSyntax, ReturnsTheTransferSyntaxAndNeedsIt) {
    TempDir dir;
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.4.70"));
    file.Explicit(0x0008, 0x0060, "CS", "CT");
    ElementList data;
    std::string syntax;
    ASSERT_TRUE(ReadDatasetAndSyntax(dir.Write("a.dcm", file.Bytes()), data, syntax));
    EXPECT_EQ(syntax, "1.2.840.10008.1.2.4.70");
    EXPECT_EQ(data.size(), 1u);

    DicomBytes noSyntax = Preamble();
    noSyntax.Explicit(0x0002, 0x0001, "OB", std::string("\0\1", 2));
    noSyntax.Explicit(0x0008, 0x0060, "CS", "CT");
    ElementList data2;
    EXPECT_FALSE(ReadDatasetAndSyntax(dir.Write("b.dcm", noSyntax.Bytes()), data2, syntax));
}

TEST(HeaderForDump, StopsBeforePixelDataAndKeepsMetaInOneList) {
    TempDir dir;
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2"));
    file.Implicit(0x0008, 0x0060, "MR");
    file.TagLength(0x7FE0, 0x0010, 0x40000000u);  // never read: the reader stops at it
    ElementList list;
    ASSERT_TRUE(ReadHeaderForDump(dir.Write("a.dcm", file.Bytes()), list));
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[0].group, 0x0002);
    EXPECT_EQ(list[5].group, 0x0008);
    EXPECT_EQ(list[5].vr[0], '\0');  // implicit: no VR read
}

TEST(RawDataset, ReadsEachEncodingFromOffsetZero) {
    TempDir dir;
    DicomBytes implicit;
    implicit.Implicit(0x0008, 0x0016, "1.2\0").Implicit(0x0010, 0x0020, "ID");
    ElementList a;
    ASSERT_TRUE(ReadRawDataset(dir.Write("i.raw", implicit.Bytes()), a, "1.2.840.10008.1.2"));
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(Value(a[1]), "ID");

    DicomBytes big(true);
    big.Explicit(0x0028, 0x0010, "US", std::string("\x01\x00", 2));
    ElementList b;
    ASSERT_TRUE(ReadRawDataset(dir.Write("b.raw", big.Bytes()), b, "1.2.840.10008.1.2.2"));
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].element, 0x0010);

    DicomBytes lying;
    lying.TagLength(0x0010, 0x0020, 0x10000000u).Text("xx");
    ElementList c;
    EXPECT_FALSE(ReadRawDataset(dir.Write("l.raw", lying.Bytes()), c, "1.2.840.10008.1.2"));
}

TEST(FlattenSequence, ExpandsDefinedLengthItemsIntoTheFlatForm) {
    DicomBytes item1, item2, content;
    item1.Explicit(0x0008, 0x1150, "UI", std::string("1.2\0", 4));
    item2.Explicit(0x0008, 0x1155, "UI", std::string("3.4\0", 4));
    content.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item1.Size())).Raw(item1.Bytes());
    content.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item2.Size())).Raw(item2.Bytes());
    ElementPtr sq =
        NewElement(0x0008, 0x1140, static_cast<int32_t>(content.Size()), content.Bytes().data(), "SQ");
    ParseState state{false, true, false};
    ElementList out;
    ASSERT_TRUE(FlattenSequence(state, *sq, out));
    const std::vector<std::pair<uint16_t, int32_t>> expected = {{0x1140, -1}, {0xE000, -1}, {0x1150, 4},
                                                                {0xE00D, 0},  {0xE000, -1}, {0x1155, 4},
                                                                {0xE00D, 0},  {0xE0DD, 0}};
    ASSERT_EQ(out.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(out[i].element, expected[i].first) << i;
        EXPECT_EQ(out[i].length, expected[i].second) << i;
    }
    EXPECT_EQ(std::string(out[7].vr), "DL");
}

TEST(FlattenSequence, RefusesHostileNestingAndTruncatedContent) {
    // Items nested a thousand deep, each of defined length.
    std::vector<uint8_t> inner = testing_support::NestedItems(1000);
    ElementPtr sq = NewElement(0x0008, 0x1140, static_cast<int32_t>(inner.size()), inner.data(), "SQ");
    ParseState state{false, true, false};
    ElementList out;
    EXPECT_FALSE(FlattenSequence(state, *sq, out));

    DicomBytes truncated;
    truncated.TagLength(0xFFFE, 0xE000, 100).Text("short");
    ElementPtr bad =
        NewElement(0x0008, 0x1140, static_cast<int32_t>(truncated.Size()), truncated.Bytes().data(), "SQ");
    ElementList out2;
    EXPECT_FALSE(FlattenSequence(state, *bad, out2));
}

TEST(Part10Reader, UndefinedLengthUnIsAnImplicitSequence) {
    DicomBytes file = testing_support::UnSequenceFileStart();
    file.TagLength(0xFFFE, 0xE00D, 0);
    file.TagLength(0xFFFE, 0xE0DD, 0);
    file.Explicit(0x0010, 0x0020, "LO", "ID");  // explicit again after the delimiter
    ReadResult r = ReadBytes(file.Bytes());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 6u);
    EXPECT_EQ(std::string(r.data[0].vr), "SQ");
    EXPECT_EQ(r.data[2].length, 4);
    EXPECT_EQ(std::string(r.data[2].vr), "UI");  // the table's VR: the data set is explicit
    EXPECT_EQ(Value(r.data[5]), "ID");
    EXPECT_TRUE(r.state.explicitVR);
}

TEST(Part10Reader, MissingTransferSyntaxIsToldFromTheFirstHeader) {
    for (bool explicitData : {false, true}) {
        DicomBytes body;
        body.Explicit(0x0002, 0x0001, "OB", std::string("\0\1", 2));
        DicomBytes file = Preamble();
        file.U16(2).U16(0).Text("UL").U16(4).U32(static_cast<uint32_t>(body.Size())).Raw(body.Bytes());
        if (explicitData)
            file.Explicit(0x0008, 0x0060, "CS", "CT");
        else
            file.Implicit(0x0008, 0x0060, "CT");
        ReadResult r = ReadBytes(file.Bytes());
        ASSERT_TRUE(r.ok) << explicitData;
        EXPECT_EQ(r.state.explicitVR, explicitData);
        ASSERT_EQ(r.data.size(), 1u);
        EXPECT_EQ(Value(r.data[0]), "CT");
    }
}

TEST(Part10Reader, NewerBinaryVRsUseTheLongForm) {
    for (const char* vr : {"OF", "OD", "OL", "UC", "UR"}) {
        DicomBytes file = Preamble();
        file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
        file.Explicit(0x0064, 0x0009, vr, "");
        file.Explicit(0x0064, 0x000F, "CS", "OK");
        ReadResult r = ReadBytes(file.Bytes());
        ASSERT_TRUE(r.ok) << vr;
        ASSERT_EQ(r.data.size(), 2u) << vr;
        EXPECT_EQ(Value(r.data[1]), "OK") << vr;
    }
}
