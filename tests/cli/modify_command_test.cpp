// pella modify against DCMTK's dcmodify on copies of pydicom's sample files (compared with
// pydicom), the backup, folders, and hostile edits that must leave the file untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::Capture;
using testing_support::PydicomFile;
using testing_support::Quote;
using testing_support::TempDir;

namespace {

const std::string kScript = std::string(PELLA_SOURCE_DIR) + "/tests/cli/compare_modified.py";

std::string FileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Copy(const TempDir& dir, const std::string& sample, const std::string& name) {
    std::string target = dir.File(name);
    fs::copy_file(PydicomFile(sample), target, fs::copy_options::overwrite_existing);
    return target;
}

testing_support::CommandResult Pella(const std::string& arguments) {
    return Capture(std::string(PELLA_CLI_PATH) + " modify " + arguments);
}

// The options, each quoted for the shell.
std::string Quoted(const std::vector<std::string>& options) {
    std::string line;
    for (const std::string& option : options) line += Quote(option) + " ";
    return line;
}

struct AgainstDcmodify {
    const char* sample;
    std::vector<std::string> options;  // the same for both tools
    const char* generated;             // keywords given new UIDs, for the comparison
};

TEST(ModifyCommand, EqualsDcmodifyOnPydicomSamples) {
    const AgainstDcmodify cases[] = {
        {"CT_small.dcm", {"-m", "PatientName=Roe^Jane", "-i", "PatientID=12345", "-e", "(0008,0090)"}, ""},
        {"MR_small_implicit.dcm",
         {"-i", "StudyDescription=Edited", "-m", "(0018,0050)=2.5", "-ea", "(0008,0008)"},
         ""},
        {"MR_small_bigendian.dcm", {"-i", "(0018,1310)=0\\64\\64\\0", "-m", "InstanceNumber=7"}, ""},
        {"rtplan.dcm",
         {"-m", "(300a,00b0)[0].(300a,00b2)=unit002", "-ea", "(300a,00b8)", "-i",
          "(300a,0010)[1].(300a,0016)=GTV", "-e", "(300a,0070)[0].(300a,00a0)"},
         ""},
        {"rtplan.dcm", {"-m", "(300a,0010)[*].(300a,0014)=SITE"}, ""},
        {"JPEG2000.dcm", {"-m", "PatientName=Anon", "-gin"}, "SOPInstanceUID"},
        {"MR_small.dcm", {"-gst", "-gse", "-i", "(0008,1030)=Study"}, "StudyInstanceUID SeriesInstanceUID"},
        {"image_dfl.dcm", {"-i", "PatientID=deflated"}, ""},
        {"SC_rgb_rle.dcm", {"-i", "(0020,4000)=rle"}, ""},
    };
    for (const AgainstDcmodify& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " " + Quoted(c.options));
        TempDir dir;
        std::string ours = Copy(dir, c.sample, "ours.dcm");
        std::string theirs = Copy(dir, c.sample, "theirs.dcm");
        testing_support::CommandResult dcmodify = Capture("dcmodify " + Quoted(c.options) + Quote(theirs));
        ASSERT_EQ(dcmodify.exitCode, 0) << dcmodify.out;
        testing_support::CommandResult pella = Pella(Quoted(c.options) + Quote(ours));
        ASSERT_EQ(pella.exitCode, 0) << pella.out;
        EXPECT_EQ(FileBytes(ours + ".bak"), FileBytes(PydicomFile(c.sample)));
        testing_support::CommandResult compare =
            Capture("/usr/bin/python3 -W ignore " + Quote(kScript) + " " + Quote(PydicomFile(c.sample)) +
                    " " + Quote(ours) + " " + Quote(theirs) + " " + c.generated);
        EXPECT_EQ(compare.exitCode, 0) << compare.out;
        testing_support::CommandResult dump = Capture("dcmdump -q " + Quote(ours));
        EXPECT_EQ(dump.exitCode, 0) << dump.out;
        EXPECT_EQ(dump.out.find("E: "), std::string::npos) << dump.out;
    }
}

TEST(ModifyCommand, HostileEditsFailAndLeaveTheFile) {
    const std::vector<std::string> cases[] = {
        {"-m", "(300a,0010)[5].(300a,0016)=X"},          // an index past the end
        {"-i", "(300a,0010)[3].(300a,0016)=X"},          // past the item after the last
        {"-m", "(300a,0070)[0].(300a,0090)=X"},          // a path into a missing element of an item
        {"-m", "(300a,0002)[0].(300a,0016)=X"},          // a non-sequence used as a sequence
        {"-m", "RTPlanLabel=seventeen-chars-xx"},        // over-long SH
        {"-m", "RTPlanDate=20030931"},                   // no such date
        {"-m", "(300a,0010)[0].(300a,0012)=1.5"},        // not an integer string
        {"-m", "SOPInstanceUID=1..2"},                   // not a UID
        {"-m", "PatientID=x", "-m", "NoSuchKeyword=1"},  // an unknown keyword after a good step
        {"-e", "(0010,0040)[0].PatientID"},              // erasing through a non-sequence
        {"-e", "(0008,1030)"},                           // erasing what is not there
        {"-m", "(0008,1030)=x"},                         // modifying what is not there
        {"-m", "(300a,00b0)=text"},                      // a sequence given text
        {"-m", "PatientName"},                           // no "="
        {"-i", "(0009,0010)[0].(0009,1001)=x"},          // private: no VR known
        {"-i", "TransferSyntaxUID=1.2"},                 // the meta group is the writer's
    };
    for (const std::vector<std::string>& options : cases) {
        SCOPED_TRACE(Quoted(options));
        TempDir dir;
        std::string file = Copy(dir, "rtplan.dcm", "plan.dcm");
        testing_support::CommandResult run = Pella(Quoted(options) + Quote(file));
        EXPECT_NE(run.exitCode, 0);
        EXPECT_FALSE(run.signaled);
        EXPECT_NE(run.out.find("pella modify: "), std::string::npos) << run.out;
        EXPECT_EQ(FileBytes(file), FileBytes(PydicomFile("rtplan.dcm")));
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++entries;
        EXPECT_EQ(entries, 1u) << "a backup or temporary file was left";
    }
}

TEST(ModifyCommand, FoldersBackupsAndFilesThatCannotBeRead) {
    TempDir dir;
    fs::create_directories(dir.Path() / "sub");
    std::string top = Copy(dir, "CT_small.dcm", "ct.dcm");
    std::string below = Copy(dir, "MR_small.dcm", "sub/mr.dcm");
    std::ofstream(dir.File("notes.txt")) << "not DICOM";
    testing_support::CommandResult run =
        Pella("--no-backup -r -i PatientID=P1 " + Quote(dir.Path().string()));
    EXPECT_EQ(run.exitCode, 1) << run.out;  // notes.txt is named with its reason
    EXPECT_NE(run.out.find("notes.txt"), std::string::npos) << run.out;
    for (const std::string& file : {top, below}) {
        testing_support::CommandResult dump = Capture("dcmdump -q +P PatientID " + Quote(file));
        EXPECT_NE(dump.out.find("[P1]"), std::string::npos) << file << ": " << dump.out;
        EXPECT_FALSE(fs::exists(file + ".bak")) << file;
    }
    EXPECT_EQ(FileBytes(dir.File("notes.txt")), "not DICOM");

    // Modes and owners stay: the new file takes the old one's permissions.
    fs::permissions(top, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Pella("-m PatientID=P2 " + Quote(top)).exitCode, 0);
    EXPECT_EQ(fs::status(top).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(FileBytes(top + ".bak").find("P1"), std::string::npos);

    // A .bak that is a link to another file is replaced, never written through.
    std::string elsewhere = dir.File("elsewhere.txt");
    std::ofstream(elsewhere) << "keep me";
    fs::remove(top + ".bak");
    fs::create_symlink(elsewhere, top + ".bak");
    ASSERT_EQ(Pella("-m PatientID=P3 " + Quote(top)).exitCode, 0);
    EXPECT_EQ(FileBytes(elsewhere), "keep me");
    EXPECT_FALSE(fs::is_symlink(top + ".bak"));

    EXPECT_EQ(Pella("").exitCode, 2);
    EXPECT_EQ(Pella("-m PatientID=1").exitCode, 2);
    EXPECT_EQ(Pella(Quote(top)).exitCode, 2);  // nothing to do
    testing_support::CommandResult help = Pella("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--gen-inst-uid"), std::string::npos);
}

}  // namespace
