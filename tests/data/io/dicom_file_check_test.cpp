#include "data/io/dicom_file_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "data/io/append_meta_header.h"
#include "data/io/dataset_reader.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::PydicomTestFiles;
using testing_support::TempDir;

std::vector<uint8_t> Marked(std::size_t size) {
    std::vector<uint8_t> bytes(std::max<std::size_t>(size, 132), 0);
    std::copy_n("DICM", 4, bytes.begin() + 128);
    bytes.resize(size);
    return bytes;
}

struct FileCase {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    Part10Check expected;
};

const FileCase kCases[] = {
    {"exactly the marker", [](const TempDir& t) { return t.Write("exact.dcm", Marked(132)); },
     Part10Check::kPart10File},
    {"a real file",
     [](const TempDir& t) {
         fs::copy_file(PydicomTestFiles() / "CT_small.dcm", t.Path() / "ct.dcm");
         return t.File("ct.dcm");
     },
     Part10Check::kPart10File},
    {"a link to a Part 10 file",
     [](const TempDir& t) {
         t.Write("target.dcm", Marked(300));
         fs::create_symlink(t.Path() / "target.dcm", t.Path() / "link.dcm");
         return t.File("link.dcm");
     },
     Part10Check::kPart10File},
    {"one byte short", [](const TempDir& t) { return t.Write("short.dcm", Marked(131)); },
     Part10Check::kNoMarker},
    {"empty", [](const TempDir& t) { return t.Write("empty", {}); }, Part10Check::kNoMarker},
    {"DICM at the start",
     [](const TempDir& t) {
         std::vector<uint8_t> early = {'D', 'I', 'C', 'M'};
         early.resize(200, 0);
         return t.Write("early", early);
     },
     Part10Check::kNoMarker},
    {"lower-case marker",
     [](const TempDir& t) {
         std::vector<uint8_t> bytes = Marked(200);
         bytes[128] = 'd';
         return t.Write("lower", bytes);
     },
     Part10Check::kNoMarker},
    {"missing", [](const TempDir& t) { return t.File("missing"); }, Part10Check::kMissing},
    {"below a file", [](const TempDir& t) { return t.Write("plain", Marked(200)) + "/inner"; },
     Part10Check::kMissing},
    {"a folder", [](const TempDir& t) { return t.Path().string(); }, Part10Check::kFolder},
    {"a folder named .dcm",
     [](const TempDir& t) {
         fs::create_directory(t.Path() / "sub.dcm");
         return t.File("sub.dcm");
     },
     Part10Check::kFolder},
    {"a pipe",
     [](const TempDir& t) {
         mkfifo(t.File("pipe.dcm").c_str(), 0600);
         return t.File("pipe.dcm");
     },
     Part10Check::kNotRegularFile},
    {"a link to a pipe",
     [](const TempDir& t) {
         mkfifo(t.File("pipe").c_str(), 0600);
         fs::create_symlink(t.Path() / "pipe", t.Path() / "pipe-link.dcm");
         return t.File("pipe-link.dcm");
     },
     Part10Check::kNotRegularFile},
    {"a device", [](const TempDir&) { return std::string("/dev/null"); }, Part10Check::kNotRegularFile},
};

// Every reader of Part 10 files gives the same answer as the check, and none waits on a pipe.
TEST(Part10File, EachKindOfFileIsToldApartAndEveryReaderAgrees) {
    for (const FileCase& c : kCases) {
        TempDir temp;
        std::string file = c.make(temp);
        EXPECT_EQ(CheckPart10File(file), c.expected) << c.name;
        EXPECT_EQ(CheckDICOMFile(file.c_str()), static_cast<int32_t>(c.expected)) << c.name;
        bool part10 = c.expected == Part10Check::kPart10File;
        EXPECT_EQ(IsPart10File(file), part10) << c.name;
        ElementList meta, data, header;
        ParseState state;
        if (!part10) {
            EXPECT_FALSE(ReadPart10File(file, meta, data, state)) << c.name;
            EXPECT_FALSE(ReadHeaderForDump(file, header)) << c.name;
        }
        if (part10 || c.expected == Part10Check::kNotRegularFile) {
            EXPECT_FALSE(AppendMetaHeaderToFile(file, kExplicitLittleEndian)) << c.name;
        }
    }
}

TEST(Part10File, AFileThatCannotBeOpenedIsUnreadable) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempDir temp;
    std::string file = temp.Write("locked.dcm", Marked(200));
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    EXPECT_EQ(CheckPart10File(file), Part10Check::kUnreadable);
    EXPECT_EQ(CheckDICOMFile(file.c_str()), PELLA_FILE_UNREADABLE);
}

TEST(Part10File, BytesInMemoryFollowTheSameRule) {
    std::vector<uint8_t> bytes = Marked(132);
    EXPECT_TRUE(HasPart10Marker(bytes.data(), bytes.size()));
    EXPECT_FALSE(HasPart10Marker(bytes.data(), 131));
    EXPECT_FALSE(HasPart10Marker(nullptr, 132));
    bytes[131] = 'm';
    EXPECT_FALSE(HasPart10Marker(bytes.data(), bytes.size()));
}

// pydicom's own test for the Part 10 marker, on every sample it ships.
TEST(Part10File, AgreesWithPydicomOnEverySample) {
    int exitCode = -1;
    std::string marked = testing_support::RunCommand(
        "/usr/bin/python3 -c 'import sys, glob, os; from pydicom.misc import is_dicom; "
        "[print(os.path.basename(f)) for f in sorted(glob.glob(sys.argv[1] + \"/*\")) "
        "if os.path.isfile(f) and is_dicom(f)]' " +
            testing_support::Quote(PydicomTestFiles().string()),
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    std::string ours;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(PydicomTestFiles()))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (IsPart10File((PydicomTestFiles() / name).string())) ours += name + "\n";
    EXPECT_EQ(ours, marked);
    EXPECT_NE(ours.find("CT_small.dcm\n"), std::string::npos);
    EXPECT_EQ(ours.find("no_meta.dcm\n"), std::string::npos);
}

}  // namespace
}  // namespace pella
