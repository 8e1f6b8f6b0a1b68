// Serialising element lists and writing Part 10 files, byte by byte where the layout matters.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "log/protocol_log.h"
#include "support/dicom_bytes.h"
#include "support/log_file.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::Capture;
using testing_support::DicomBytes;
using testing_support::PydicomFile;
using testing_support::ReadAll;
using testing_support::ReadText;
using testing_support::TempDir;

namespace {

void Add(ElementList& list, uint16_t g, uint16_t e, const std::string& value, const char* vr) {
    list.Append(NewElement(g, e, static_cast<int32_t>(value.size()), value.data(), vr));
}

std::vector<uint8_t> Serialize(const ElementList& list, bool explicitVR, bool bigEndian = false) {
    return SerializeList(list, explicitVR, bigEndian);
}

std::string Value(const DataElement& e) {
    return e.length > 0 ? std::string(reinterpret_cast<char*>(e.value), static_cast<std::size_t>(e.length))
                        : "";
}

// Same tags, VRs, lengths and values, in the same order (items and delimiters are read
// without a VR).
void ExpectSameElements(const ElementList& a, const ElementList& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        EXPECT_EQ(a[i].group, b[i].group);
        EXPECT_EQ(a[i].element, b[i].element);
        if (a[i].group != 0xFFFE) {
            EXPECT_EQ(std::string(a[i].vr, 2), std::string(b[i].vr, 2));
        }
        EXPECT_EQ(a[i].length, b[i].length);
        EXPECT_EQ(Value(a[i]), Value(b[i]));
    }
}

}  // namespace

TEST(SerializeElements, HeaderFormsInExplicitAndImplicitEncodings) {
    ElementList list;
    list.Append(NewElement(0x0008, 0x1140, -1, nullptr, "SQ"));
    list.Append(NewElement(0xFFFE, 0xE000, -1, nullptr, "DL"));
    Add(list, 0x0008, 0x1150, std::string("1.2\0", 4), "UI");
    list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    Add(list, 0x0008, 0x0104, "text", "UT");
    Add(list, 0x0028, 0x0010, std::string("\x00\x02", 2), "US");

    DicomBytes expected;
    expected.U16(0x0008).U16(0x1140).Text("SQ").U16(0).U32(0xFFFFFFFF);
    expected.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);  // no VR on items and delimiters
    expected.Explicit(0x0008, 0x1150, "UI", std::string("1.2\0", 4));
    expected.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    expected.Explicit(0x0008, 0x0104, "UT", "text");  // long form
    expected.Explicit(0x0028, 0x0010, "US", std::string("\x00\x02", 2));
    EXPECT_EQ(Serialize(list, true), expected.Bytes());

    DicomBytes implicit;
    implicit.TagLength(0x0008, 0x1140, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    implicit.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    implicit.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    implicit.Implicit(0x0008, 0x0104, "text");
    implicit.Implicit(0x0028, 0x0010, std::string("\x00\x02", 2));  // tag, 32-bit 2, value
    EXPECT_EQ(Serialize(list, false), implicit.Bytes());
}

TEST(SerializeElements, BigEndianTagsAndLengthsButMetaGroupAndValuesUntouched) {
    ElementList list;
    Add(list, 0x0002, 0x0010, std::string("1.2.840.10008.1.2.2\0", 20), "UI");
    Add(list, 0x0028, 0x0010, std::string("\x02\x00", 2), "US");
    Add(list, 0x7FE0, 0x0010, "ab", "OW");
    DicomBytes expected;
    expected.Explicit(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.2\0", 20));
    expected.BigEndian(true);
    expected.Explicit(0x0028, 0x0010, "US", std::string("\x02\x00", 2));
    expected.Explicit(0x7FE0, 0x0010, "OW", "ab");
    EXPECT_EQ(Serialize(list, true, true), expected.Bytes());
}

TEST(SerializeElements, LengthsBeyondSixteenBitsBecomeUnknownWithALongLength) {
    ElementList list;
    std::string lut(70000, '\x01');
    Add(list, 0x0028, 0x3006, lut, "US");                               // a long LUT
    Add(list, 0x0008, 0x0000 + 0x2111, std::string(65535, 'x'), "ST");  // just fits
    Add(list, 0x0009, 0x1010, "ab", "");                                // no VR at all
    list.Append(NewElement(0x0009, 0x1011, -1, nullptr, "LO"));         // undefined, short VR
    std::vector<uint8_t> bytes = Serialize(list, true);
    EXPECT_EQ(bytes.size(), EncodedListLength(list, true));
    EXPECT_EQ(EncodedHeaderSize(list[0], true), 12u);
    EXPECT_EQ(EncodedHeaderSize(list[1], true), 8u);
    EXPECT_EQ(EncodedHeaderSize(list[2], true), 12u);
    EXPECT_EQ(EncodedHeaderSize(list[3], true), 12u);
    EXPECT_EQ(EncodedHeaderSize(list[0], false), 8u);  // implicit: always a 32-bit length
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 8), std::string("UN\0\0", 4));

    TempDir dir;
    std::string file = dir.Write("raw.dcm", bytes);
    ElementList back;
    ASSERT_TRUE(ReadRawDataset(file, back, "1.2.840.10008.1.2.1"));
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0].length, 70000);
    EXPECT_EQ(Value(back[0]), lut);
    EXPECT_EQ(std::string(back[1].vr, 2), "ST");
    EXPECT_EQ(back[1].length, 65535);
    EXPECT_EQ(std::string(back[2].vr, 2), "UN");
    EXPECT_EQ(back[3].length, -1);
}

TEST(SerializeElements, TooSmallABufferFailsLoggedWithoutWritingPastIt) {
    TempDir dir;
    std::string log = dir.File("pella.log");
    SetLogSettings(0, log);
    ElementList list;
    Add(list, 0x0008, 0x0060, "CT", "CS");
    Add(list, 0x0010, 0x0010, "Doe^John", "PN");
    std::vector<uint8_t> buffer(EncodedListLength(list, true) + 8, 0xEE);
    std::size_t shortBy = 3;
    int64_t count = SerializeElements(list, buffer.data(), buffer.size() - 8 - shortBy, true, false);
    SetLogSettings(0, "");
    EXPECT_EQ(count, -1);
    for (std::size_t i = buffer.size() - 8 - shortBy; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE);
    EXPECT_NE(ReadText(log).find("(0010,0010)"), std::string::npos);
    EXPECT_EQ(SerializeElements(list, buffer.data(), buffer.size(), true, false), 2);
}

TEST(MetaHeader, UidsArePaddedToEvenLengthWithAZeroByte) {
    ElementList meta;
    std::string uid26 = "1.2.840.10008.5.1.4.1.1.20";
    std::string uid27 = "1.2.840.10008.5.1.4.1.1.128";
    ASSERT_EQ(uid26.size(), 26u);
    ASSERT_EQ(uid27.size(), 27u);
    BuildMetaHeader(meta, uid26, uid27, "1.2.840.10008.1.2", false);
    ASSERT_EQ(meta.size(), 7u);
    const uint16_t tags[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0010, 0x0012, 0x0013};
    const char* vrs[] = {"UL", "OB", "UI", "UI", "UI", "UI", "SH"};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(meta[i].group, 0x0002);
        EXPECT_EQ(meta[i].element, tags[i]);
        EXPECT_EQ(std::string(meta[i].vr, 2), vrs[i]);
    }
    EXPECT_EQ(meta[2].length, 26);
    EXPECT_EQ(Value(meta[2]), uid26);
    EXPECT_EQ(meta[3].length, 28);
    EXPECT_EQ(Value(meta[3]), uid27 + '\0');
    EXPECT_EQ(Value(meta[1]), std::string("\x00\x01", 2));
    EXPECT_EQ(Value(meta[5]), "1.2.826.0.1.3680043.2.7777.999");
    EXPECT_EQ(Value(meta[6]), std::string("korvantel\0\0\0", 12));
    uint32_t groupLength = 0;
    std::memcpy(&groupLength, meta[0].value, 4);
    EXPECT_EQ(groupLength, EncodedListLength(meta, false) - 12);
    EXPECT_EQ(groupLength, 8u + 2 + 4 + 8 + 26 + 8 + 28 + 8 + 18 + 8 + 30 + 8 + 12);
}

TEST(MetaHeader, MissingUidsGiveEmptyElementsAndOldContentIsReplaced) {
    ElementList meta;
    Add(meta, 0x0002, 0x0016, "OLD_AE", "AE");
    BuildMetaHeader(meta, "", "", "1.2.840.10008.1.2.1", true);
    ASSERT_EQ(meta.size(), 7u);
    EXPECT_EQ(meta[2].length, 0);
    EXPECT_EQ(meta[3].length, 0);
    EXPECT_EQ(FindElement(meta, 0x0002, 0x0016), nullptr);
}

TEST(WritePart10File, LayoutAndRoundTripInEachEncoding) {
    struct Encoding {
        const char* uid;
        bool explicitVR;
        bool bigEndian;
    };
    const Encoding encodings[] = {{"1.2.840.10008.1.2", false, false},
                                  {"1.2.840.10008.1.2.1", true, false},
                                  {"1.2.840.10008.1.2.2", true, true}};
    for (const Encoding& enc : encodings) {
        SCOPED_TRACE(enc.uid);
        ElementList data;
        Add(data, 0x0008, 0x0016, std::string("1.2.840.10008.5.1.4.1.1.7\0", 26), enc.explicitVR ? "UI" : "");
        Add(data, 0x0008, 0x0018, std::string("1.2.3.4\0", 8), enc.explicitVR ? "UI" : "");
        data.Append(NewElement(0x0008, 0x1140, -1, nullptr, enc.explicitVR ? "SQ" : ""));
        data.Append(NewElement(0xFFFE, 0xE000, -1, nullptr, "DL"));
        Add(data, 0x0008, 0x1150, std::string("1.2\0", 4), enc.explicitVR ? "UI" : "");
        data.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        data.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
        Add(data, 0x0010, 0x0010, "Doe^Jane", enc.explicitVR ? "PN" : "");
        Add(data, 0x0028, 0x0010, enc.bigEndian ? std::string("\x00\x08", 2) : std::string("\x08\x00", 2),
            enc.explicitVR ? "US" : "");
        Add(data, 0x0040, 0xA160, std::string(300, 't'), enc.explicitVR ? "UT" : "");
        ElementList meta;
        BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.3.4", enc.uid, enc.explicitVR);

        TempDir dir;
        std::string file = dir.File("out.dcm");
        ASSERT_TRUE(WritePart10File(file, &meta, data, enc.explicitVR, enc.bigEndian));
        std::vector<uint8_t> bytes = ReadAll(file);
        ASSERT_EQ(bytes.size(),
                  132 + EncodedListLength(meta, true) + EncodedListLength(data, enc.explicitVR));
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 128, [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(std::string(bytes.begin() + 128, bytes.begin() + 132), "DICM");

        ElementList metaBack, dataBack;
        ParseState state;
        ASSERT_TRUE(ReadPart10File(file, metaBack, dataBack, state));
        EXPECT_EQ(state.explicitVR, enc.explicitVR);
        EXPECT_EQ(state.bigEndian, enc.bigEndian);
        ExpectSameElements(metaBack, meta);
        ExpectSameElements(dataBack, data);
        EXPECT_EQ(GetElementText(dataBack, 0x0028, 0x0010), enc.bigEndian ? "2048" : "8");
    }
}

TEST(WritePart10File, WithoutMetaOnlyTheDataSetAndFailureWhenNotCreatable) {
    ElementList data;
    Add(data, 0x0008, 0x0060, "MR", "CS");
    TempDir dir;
    std::string file = dir.File("bare.dcm");
    ASSERT_TRUE(WritePart10File(file, nullptr, data, true, false));
    DicomBytes expected;
    expected.Explicit(0x0008, 0x0060, "CS", "MR");
    EXPECT_EQ(ReadAll(file), expected.Bytes());
    EXPECT_FALSE(WritePart10File(dir.File("no/such/folder/x.dcm"), nullptr, data, true, false));
    EXPECT_FALSE(WritePart10File(dir.Path().string(), nullptr, data, true, false));  // a folder
}

// A sequence sent as UN with undefined length holds implicit VR contents. Written back into an
// explicit data set they must carry VRs that read back the same way: the table's for known
// tags, SQ for undefined-length ones, UN (implicit value bytes) for defined-length sequences.
TEST(WritePart10File, ContentsOfUnSequencesAreWrittenSoThatTheyReadBack) {
    DicomBytes implicitItem;
    implicitItem.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    DicomBytes file = testing_support::UnSequenceFileStart();
    file.TagLength(0x0009, 0x1020, 0xFFFFFFFF);  // a private sequence, undefined length
    file.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    file.Implicit(0x0010, 0x0020, "ID");
    file.TagLength(0xFFFE, 0xE00D, 0);
    file.TagLength(0xFFFE, 0xE0DD, 0);
    DicomBytes item;
    item.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(implicitItem.Size())).Raw(implicitItem.Bytes());
    file.Implicit(0x0008, 0x1115,
                  std::string(item.Bytes().begin(), item.Bytes().end()));  // defined-length SQ
    file.TagLength(0xFFFE, 0xE00D, 0);
    file.TagLength(0xFFFE, 0xE0DD, 0);
    file.Explicit(0x0010, 0x0010, "PN", "DOE ");

    TempDir dir;
    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(dir.Write("un.dcm", file.Bytes()), meta, data, state));
    ASSERT_EQ(data.size(), 12u);
    EXPECT_EQ(std::string(data[2].vr), "UI");
    EXPECT_EQ(std::string(data[3].vr), "SQ");
    EXPECT_EQ(std::string(data[5].vr), "LO");
    EXPECT_EQ(std::string(data[8].vr), "UN");

    std::string written = dir.File("written.dcm");
    ASSERT_TRUE(WritePart10File(written, &meta, data, true, false));
    ElementList meta2, data2;
    ParseState state2;
    ASSERT_TRUE(ReadPart10File(written, meta2, data2, state2));
    ExpectSameElements(data, data2);
    EXPECT_TRUE(state2.explicitVR);
}

// The same with a real file: DCMTK reads the rewritten copy with every element of the sequence.
TEST(WritePart10File, RewrittenUnSequenceSampleReadsInDcmdump) {
    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(PydicomFile("UN_sequence.dcm"), meta, data, state));
    TempDir dir;
    std::string written = dir.File("copy.dcm");
    ASSERT_TRUE(WritePart10File(written, &meta, data, state.explicitVR, state.bigEndian));
    ElementList meta2, data2;
    ParseState state2;
    ASSERT_TRUE(ReadPart10File(written, meta2, data2, state2));
    ExpectSameElements(data, data2);
    auto dump = Capture("dcmdump +E " + testing_support::Quote(written));
    EXPECT_EQ(dump.exitCode, 0) << dump.out;
    EXPECT_EQ(dump.out.find("W:"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("(0008,1155) UI [1.2.840.113619.2.327.3.185221411.476.1398588726.278.80]"),
              std::string::npos)
        << dump.out;
    EXPECT_NE(dump.out.find("(0020,000d) UI [1.2.840.113619.2.327.3.185221411.476.1398588725.795]"),
              std::string::npos)
        << dump.out;
}

// A file that ends inside such a sequence still reports its own (explicit) encoding.
TEST(Part10Reader, EndingInsideAnUnSequenceKeepsTheDataSetEncoding) {
    DicomBytes file = testing_support::UnSequenceFileStart();
    TempDir dir;
    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(dir.Write("cut.dcm", file.Bytes()), meta, data, state));
    EXPECT_EQ(data.size(), 3u);
    EXPECT_TRUE(state.explicitVR);
    ElementList header;
    EXPECT_TRUE(ReadHeaderForDump(dir.File("cut.dcm"), header));
}
