// Elements whose VR bytes are no VR: read as UN with their 16-bit length, and every file the
// converter writes from them reads back, in this library and in dcmdump.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/convert/file_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "data/io/read_back_check.h"
#include "log/protocol_log.h"
#include "support/dicom_bytes.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

// An 8-bit 2x2 image in explicit VR little endian whose private (0043,1043) carries `vr` bytes
// and a 4-byte zero value, followed by (0043,1044) SL 1.
std::vector<uint8_t> FileWithVR(const std::string& vr) {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    file.Explicit(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7\0", 26));
    file.Explicit(0x0008, 0x0018, "UI", std::string("1.2.3.4\0", 8));
    file.Explicit(0x0028, 0x0002, "US", std::string("\1\0", 2));
    file.Explicit(0x0028, 0x0004, "CS", "MONOCHROME2 ");
    file.Explicit(0x0028, 0x0010, "US", std::string("\2\0", 2));
    file.Explicit(0x0028, 0x0011, "US", std::string("\2\0", 2));
    file.Explicit(0x0028, 0x0100, "US", std::string("\x08\0", 2));
    file.Explicit(0x0028, 0x0101, "US", std::string("\x08\0", 2));
    file.Explicit(0x0028, 0x0102, "US", std::string("\x07\0", 2));
    file.Explicit(0x0028, 0x0103, "US", std::string("\0\0", 2));
    file.U16(0x0043).U16(0x1043).Text(vr).U16(4).U32(0);
    file.Explicit(0x0043, 0x1044, "SL", std::string("\1\0\0\0", 4));
    file.Explicit(0x7FE0, 0x0010, "OB", std::string("\x10\x20\x30\x40", 4));
    return file.Bytes();
}

const DataElement* Find(const ElementList& list, uint16_t group, uint16_t element) {
    for (const auto& e : list)
        if (e->group == group && e->element == element) return e.get();
    return nullptr;
}

const std::vector<std::string> kNoVRs = {
    "DL", std::string("\0\0", 2), std::string("C\0", 2), "zz", "\xff\xff", "ul"};

}  // namespace

TEST(UnknownVR, ReadsAsUNWithItsShortLengthAndEveryConversionReadsBack) {
    TempDir dir;
    const char* const targets[] = {"1.2.840.10008.1.2", "1.2.840.10008.1.2.2", "1.2.840.10008.1.2.4.70"};
    for (const std::string& vr : kNoVRs) {
        SCOPED_TRACE("VR bytes " + std::to_string(uint8_t(vr[0])) + "," + std::to_string(uint8_t(vr[1])));
        std::string in = dir.Write("in.dcm", FileWithVR(vr));
        ElementList meta, data;
        ParseState state;
        ASSERT_TRUE(ReadPart10File(in, meta, data, state));
        const DataElement* odd = Find(data, 0x0043, 0x1043);
        ASSERT_NE(odd, nullptr);
        EXPECT_TRUE(VrIs(odd->vr, "UN"));
        EXPECT_EQ(odd->length, 4);
        const DataElement* next = Find(data, 0x0043, 0x1044);
        ASSERT_NE(next, nullptr);
        EXPECT_TRUE(VrIs(next->vr, "SL"));
        for (const char* target : targets) {
            std::string out = dir.File("out.dcm");
            std::filesystem::remove(out);
            ASSERT_TRUE(ConvertFile(out, in, target)) << target << ": " << LastFailure();
            ElementList meta2, data2;
            ParseState again;
            ASSERT_TRUE(ReadPart10File(out, meta2, data2, again)) << target;
            const DataElement* kept = Find(data2, 0x0043, 0x1043);
            ASSERT_NE(kept, nullptr) << target;
            EXPECT_EQ(kept->length, 4) << target;
            ASSERT_NE(Find(data2, 0x0043, 0x1044), nullptr) << target;
            // A reader of its own agrees.
            CommandResult dumped = RunCommand({"dcmdump", "-q", out}, true);
            EXPECT_EQ(dumped.exitCode, 0) << target << "\n" << dumped.out;
            for (const char* tag : {"(0043,1043)", "(0043,1044)", "(7fe0,0010)"})
                EXPECT_NE(dumped.out.find(tag), std::string::npos) << target << " " << tag << "\n"
                                                                   << dumped.out;
        }
    }
}

// The input that once made pella convert write an unreadable file: CT_small.dcm whose private
// (0043,1043) claims the VR "DL". Its conversion now reads back, in dcmdump too.
TEST(UnknownVR, PellaConvertOfTheKeptFuzzInputWritesAFileThatReadsBack) {
    TempDir dir;
    std::string in = PELLA_SOURCE_DIR "/fuzz/regressions/convert_dataset/private-element-with-delimiter-vr";
    for (const char* target : {"jpeg-lossless", "implicit"}) {
        std::string out = dir.File(std::string(target) + ".dcm");
        CommandResult converted = RunCommand({PELLA_CLI_PATH, "convert", in, out, target}, true);
        ASSERT_EQ(converted.exitCode, 0) << target << "\n" << converted.out;
        CommandResult dumped = RunCommand({"dcmdump", "-q", out}, true);
        EXPECT_EQ(dumped.exitCode, 0) << dumped.out;
        EXPECT_NE(dumped.out.find("(0043,1043)"), std::string::npos) << dumped.out;
        EXPECT_NE(dumped.out.find("(0043,104e)"), std::string::npos) << dumped.out;
        ElementList meta, data;
        ParseState state;
        EXPECT_TRUE(ReadPart10File(out, meta, data, state)) << LastFailure();
    }
}

// Lists that no reader gives back as they are (a non-delimiter with the delimiters' pseudo-VR
// is written without a VR; a group 0002 element among the data set reads back into the meta
// group) are caught by the read-back check, and a sound one passes it.
TEST(FileReadsBack, TellsWhatReadsBackOtherwise) {
    TempDir dir;
    ElementList meta;
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.3.4", "1.2.840.10008.1.2.1", true);
    const uint8_t zero[4] = {0, 0, 0, 0};
    const uint8_t one[4] = {1, 0, 0, 0};
    struct Case {
        uint16_t group;
        const char* vr;
        const char* reason;  // empty: reads back
    } cases[] = {
        {0x0043, "UN", ""},
        {0x0043, "DL", "does not read back"},
        {0x0002, "UL", "the meta group reads back as"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vr);
        ElementList data;
        data.Append(NewElement(0x0008, 0x0018, 8, "1.2.3.4\0", "UI"));
        data.Append(NewElement(c.group, 0x1043, 4, zero, c.vr));
        data.Append(NewElement(0x0043, 0x1044, 4, one, "SL"));
        std::string file = dir.File("written.dcm");
        ASSERT_TRUE(WritePart10File(file, &meta, data, true, false));
        std::string reason;
        EXPECT_EQ(FileReadsBack(file, meta, data, reason), c.reason[0] == '\0') << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}
