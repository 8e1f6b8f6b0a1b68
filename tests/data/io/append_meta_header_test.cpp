// Adding a meta header to bare data set files: pydicom's samples, checked with dcmdump and
// pydicom, and the rule that the user's file is never lost.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "data/io/append_meta_header.h"
#include "data/io/dataset_reader.h"
#include "data/io/safe_file_replace.h"
#include "support/dicom_bytes.h"
#include "support/pixel_files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::Capture;
using testing_support::CommandResult;
using testing_support::DicomBytes;
using testing_support::PydicomFile;
using testing_support::ReadAll;
using testing_support::TempDir;

namespace {

// "tag VR value" per data-set element as pydicom sees the file. A bare data set is read with
// force; a Part 10 file must have a meta group with a transfer syntax.
CommandResult PydicomElements(const std::string& file, bool bare) {
    static const char* const kScript =
        "import sys, pydicom\n"
        "bare = sys.argv[2] == 'bare'\n"
        "d = pydicom.dcmread(sys.argv[1], force=bare)\n"
        "if not bare:\n"
        "    assert d.file_meta.TransferSyntaxUID\n"
        "for e in d.iterall():\n"
        "    print(e.tag, e.VR, len(e.value) if e.VR == 'SQ' else repr(e.value))\n";
    TempDir scriptDir;
    std::string script =
        scriptDir.Write("elements.py", std::vector<uint8_t>(kScript, kScript + std::strlen(kScript)));
    return Capture("/usr/bin/python3 '" + script + "' '" + file + "' " + (bare ? "bare" : "part10"));
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Copy(const TempDir& dir, const std::string& sample, const std::string& name) {
    return dir.Write(name, ReadAll(PydicomFile(sample)));
}

}  // namespace

TEST(AppendMetaHeader, PydicomBareDataSetsBecomeFilesThatDcmtkAndPydicomRead) {
    struct Sample {
        const char* name;
        const char* syntax;
        bool bigEndian;
    };
    // Both are explicit VR data sets, little and big endian, without any meta group.
    const Sample samples[] = {{"ExplVR_LitEndNoMeta.dcm", "1.2.840.10008.1.2.1", false},
                              {"ExplVR_BigEndNoMeta.dcm", "1.2.840.10008.1.2.2", true}};
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        std::string file = Copy(dir, s.name, "bare.dcm");
        ElementList original;
        ASSERT_TRUE(ReadRawDataset(file, original, s.syntax));
        CommandResult before = PydicomElements(file, true);
        ASSERT_EQ(before.exitCode, 0) << before.out;
        ASSERT_NE(before.out.find("(0008, 0016) UI"), std::string::npos) << before.out;

        ASSERT_TRUE(AppendMetaHeaderToFile(file, s.syntax));

        CommandResult dump = Capture("dcmdump '" + file + "'");
        EXPECT_EQ(dump.exitCode, 0) << dump.out;
        EXPECT_EQ(dump.out.find("E:"), std::string::npos) << dump.out;
        EXPECT_NE(dump.out.find("(0002,0010) UI =" +
                                std::string(s.bigEndian ? "BigEndianExplicit" : "LittleEndianExplicit")),
                  std::string::npos)
            << dump.out;
        EXPECT_NE(dump.out.find("(0002,0002) UI =RTIonPlanStorage"), std::string::npos);
        EXPECT_NE(dump.out.find("(0002,0003) UI [1.2.333.4444.5.6.7.8]"), std::string::npos);
        CommandResult after = PydicomElements(file, false);
        EXPECT_EQ(after.exitCode, 0) << after.out;
        EXPECT_EQ(after.out, before.out);

        ElementList meta, data;
        ParseState state;
        ASSERT_TRUE(ReadPart10File(file, meta, data, state));
        EXPECT_EQ(state.bigEndian, s.bigEndian);
        ASSERT_EQ(data.size(), original.size());
        for (std::size_t i = 0; i < data.size(); ++i) {
            EXPECT_EQ(data[i].length, original[i].length);
            if (data[i].length > 0) {
                EXPECT_EQ(0, std::memcmp(data[i].value, original[i].value,
                                         static_cast<std::size_t>(data[i].length)));
            }
        }
        EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"bare.dcm"});  // no leftovers
    }
}

TEST(AppendMetaHeader, NoMetaSampleIsNotADataSetUnlessItsStrayFirstByteIsRemoved) {
    // pydicom's no_meta.dcm is CT_small.dcm's explicit VR little endian data set behind one
    // stray byte: in no transfer syntax is it a data set, and it must be left alone.
    TempDir dir;
    std::string file = Copy(dir, "no_meta.dcm", "no_meta.dcm");
    std::vector<uint8_t> bytes = ReadAll(file);
    for (const char* syntax : {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2"}) {
        EXPECT_FALSE(AppendMetaHeaderToFile(file, syntax)) << syntax;
        EXPECT_EQ(ReadAll(file), bytes);
    }
    std::vector<uint8_t> dataSet(bytes.begin() + 1, bytes.end());
    std::string fixed = dir.Write("fixed.dcm", dataSet);
    ASSERT_TRUE(AppendMetaHeaderToFile(fixed, "1.2.840.10008.1.2.1"));
    CommandResult dump = Capture("dcmdump '" + fixed + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.out;
    EXPECT_EQ(dump.out.find("E:"), std::string::npos) << dump.out;
    CommandResult ours = PydicomElements(fixed, false);
    CommandResult reference = PydicomElements(PydicomFile("CT_small.dcm"), false);
    EXPECT_EQ(ours.exitCode, 0) << ours.out;
    EXPECT_NE(reference.out.find("(7fe0, 0010) OW"), std::string::npos);
    EXPECT_EQ(ours.out, reference.out);
}

TEST(AppendMetaHeader, ImplicitDataSetKeepsImplicitEncodingBehindAnExplicitMetaGroup) {
    DicomBytes bare;
    bare.Implicit(0x0008, 0x0016, std::string("1.2.840.10008.5.1.4.1.1.7\0", 26));
    bare.Implicit(0x0008, 0x0018, "1.2.3.4.5");  // odd: padded again in the meta group
    bare.Implicit(0x0010, 0x0010, "Doe^John");
    bare.Implicit(0x0028, 0x0010, std::string("\x10\x00", 2));
    TempDir dir;
    std::string file = dir.Write("implicit.dcm", bare.Bytes());
    ASSERT_TRUE(AppendMetaHeaderToFile(file, "1.2.840.10008.1.2"));
    std::vector<uint8_t> bytes = ReadAll(file);
    ASSERT_GT(bytes.size(), 132 + bare.Size());
    EXPECT_EQ(std::string(bytes.begin() + 128, bytes.begin() + 132), "DICM");
    EXPECT_EQ(std::string(bytes.begin() + 136, bytes.begin() + 138), "UL");  // meta explicit
    EXPECT_TRUE(std::equal(bare.Bytes().begin(), bare.Bytes().end(), bytes.end() - bare.Size()));

    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(file, meta, data, state));
    EXPECT_FALSE(state.explicitVR);
    EXPECT_EQ(GetElementText(meta, 0x0002, 0x0003), "1.2.3.4.5");
    EXPECT_EQ(FindElement(meta, 0x0002, 0x0003)->length, 10);
    EXPECT_EQ(GetElementText(meta, 0x0002, 0x0010), "1.2.840.10008.1.2");
    CommandResult dump = Capture("dcmdump '" + file + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.out;
    EXPECT_NE(dump.out.find("(0010,0010) PN [Doe^John]"), std::string::npos) << dump.out;
}

TEST(AppendMetaHeader, FailuresLeaveTheFileAsItWas) {
    TempDir dir;
    EXPECT_FALSE(AppendMetaHeaderToFile(dir.File("missing.dcm"), "1.2.840.10008.1.2"));
    EXPECT_TRUE(ListFolder(dir.Path()).empty());

    std::string part10 = Copy(dir, "CT_small.dcm", "ct.dcm");  // already has a meta group
    std::vector<uint8_t> before = ReadAll(part10);
    EXPECT_FALSE(AppendMetaHeaderToFile(part10, "1.2.840.10008.1.2.1"));
    EXPECT_EQ(ReadAll(part10), before);

    std::string bare = Copy(dir, "ExplVR_LitEndNoMeta.dcm", "bare.dcm");
    std::vector<uint8_t> bareBytes = ReadAll(bare);
    for (const char* bad : {"", "explicit", "1.2.840.10008.1.2.1  ", "1..2", "1.2.3.x"})
        EXPECT_FALSE(AppendMetaHeaderToFile(bare, bad)) << bad;
    // Truncated inside a value: not readable as a data set.
    std::string cut = dir.Write("cut.dcm", std::vector<uint8_t>(bareBytes.begin(), bareBytes.end() - 40));
    EXPECT_FALSE(AppendMetaHeaderToFile(cut, "1.2.840.10008.1.2.1"));
    EXPECT_EQ(ReadAll(bare), bareBytes);
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"bare.dcm", "ct.dcm", "cut.dcm"}));
}

TEST(ReplaceFileSafely, OriginalSurvivesFailureAndKeepsItsPermissionsOnSuccess) {
    TempDir dir;
    std::string file = dir.Write("data.bin", {1, 2, 3});
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    EXPECT_FALSE(ReplaceFileSafely(file, [](const std::string& temp) {
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        std::fputs("partial", f);
        std::fclose(f);
        return false;
    }));
    EXPECT_THROW(ReplaceFileSafely(file, [](const std::string&) -> bool { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(ReadAll(file), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"data.bin"});

    mode_t whileWritten = 0;
    EXPECT_TRUE(ReplaceFileSafely(file, [&whileWritten](const std::string& temp) {
        struct stat staged {};
        if (stat(temp.c_str(), &staged) == 0) whileWritten = staged.st_mode & 07777;
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        std::fputs("new", f);
        return std::fclose(f) == 0;
    }));
    EXPECT_EQ(whileWritten, 0600u) << "readable by the owner only until it takes the original's place";
    EXPECT_EQ(ReadAll(file), (std::vector<uint8_t>{'n', 'e', 'w'}));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"data.bin"});
}
