// C-MOVE and C-GET of `pella serve` against DCMTK: objects stored with storescu are moved to a
// storescp the test starts, to movescu itself (+P), and fetched with getscu; what arrives equals
// what was stored, element by element. An unknown destination, or one never called, is refused
// with 0xA801, and a destination that takes none of the stored syntaxes gets a converted object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/storescp_run.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

// One attribute of a file, as DCMTK reads it.
std::string Attribute(const std::string& file, const std::string& tag) {
    std::string out = RunCommand({"dcmdump", "-q", "-s", "+P", tag, file}).out;
    std::size_t open = out.find('['), close = out.find(']');
    return open == std::string::npos || close == std::string::npos ? ""
                                                                   : out.substr(open + 1, close - open - 1);
}

// Compares a source with the copy below `folder` (found by its SOP Instance UID): 0 equal.
CommandResult CompareStored(const std::string& source, const std::string& folder) {
    return RunCommand(
        {"/usr/bin/python3", PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py", source, folder});
}

// The files below a folder, at any depth (with `extension`: only those named so).
int FilesBelow(const std::string& folder, const std::string& extension = "") {
    int count = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        count += it->is_regular_file() && (extension.empty() || it->path().extension() == extension) ? 1 : 0;
    return count;
}

// The final status movescu or getscu printed at debug level, as "0xNNNN"; empty when none.
std::string FinalStatus(const std::string& log) {
    std::string status;
    for (std::size_t at = log.find("Status"); at != std::string::npos; at = log.find("Status", at + 1)) {
        std::size_t hex = log.find("0x", at);
        if (hex == std::string::npos || hex - at > 60) continue;
        status = log.substr(hex, 6);
    }
    return status;
}

class ArchiveRetrieve : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(storescp.Start());
        movescuPort = FreePort();
        std::ofstream(dir.File("peers")) << "# peers of the test archive\n"
                                         << "STORESCP 127.0.0.1 " << storescp.Port() << "\n"
                                         << "MOVESCU  127.0.0.1 " << movescuPort << "  STORE,MOVE\n"
                                         << "NEVER    127.0.0.1 0\n";
        serve = std::make_unique<ServeProcess>(dir.File("archive"),
                                               std::vector<std::string>{"--peers", dir.File("peers")},
                                               dir.File("serve.log"));
        ASSERT_TRUE(serve->started) << ReadText(dir.File("serve.log"));
        std::vector<std::string> store = {"storescu", "-aec", "PELLA", "127.0.0.1", Port()};
        for (const char* name : kSamples) store.push_back(PydicomFile(name));
        CommandResult stored = RunCommand(store, true);
        ASSERT_EQ(stored.exitCode, 0) << stored.out;
        // pydicom's RLE sample is MR_small.dcm compressed (same UIDs): a copy with UIDs of its
        // own, kept compressed on the way in (dcmsend -dn never decompresses).
        rle = dir.File("rle.dcm");
        std::filesystem::copy_file(PydicomFile("MR_small_RLE.dcm"), rle);
        ASSERT_EQ(RunCommand({"dcmodify", "-nb", "-gst", "-gse", "-gin", rle}).exitCode, 0);
        CommandResult sent = RunCommand({"dcmsend", "-dn", "-aec", "PELLA", "127.0.0.1", Port(), rle}, true);
        ASSERT_EQ(sent.exitCode, 0) << sent.out;
        ASSERT_EQ(FilesBelow(dir.File("archive"), ".dcm"), 4);
    }

    std::string Port() const { return std::to_string(serve->port); }

    CommandResult Move(const std::vector<std::string>& options) {
        std::vector<std::string> argv = {"movescu", "-d", "-aec", "PELLA"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back("127.0.0.1");
        argv.push_back(Port());
        return RunCommand(argv, true);
    }

    static constexpr const char* kSamples[] = {"CT_small.dcm", "MR_small.dcm", "rtplan.dcm"};
    TempDir dir;
    StorescpRun storescp;
    std::string rle;  // the RLE copy stored
    int movescuPort = 0;
    std::unique_ptr<ServeProcess> serve;
};

}  // namespace

// Study root, study level: each study moved to storescp arrives equal to the stored file; an
// image-level move of one instance and a patient-root move by Patient ID do too.
TEST_F(ArchiveRetrieve, MovescuToStorescpDeliversEqualObjects) {
    for (const char* name : {"CT_small.dcm", "rtplan.dcm"}) {
        std::string file = PydicomFile(name);
        CommandResult moved = Move({"-S", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=STUDY", "-k",
                                    "StudyInstanceUID=" + Attribute(file, "0020,000D")});
        EXPECT_EQ(FinalStatus(moved.out), "0x0000") << name << "\n" << moved.out;
        CommandResult compared = storescp.Compare(file);
        EXPECT_EQ(compared.exitCode, 0) << name << "\n" << compared.out;
    }
    std::string mr = PydicomFile("MR_small.dcm");
    CommandResult image = Move({"-S", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=IMAGE", "-k",
                                "StudyInstanceUID=" + Attribute(mr, "0020,000D"), "-k",
                                "SeriesInstanceUID=" + Attribute(mr, "0020,000E"), "-k",
                                "SOPInstanceUID=" + Attribute(mr, "0008,0018")});
    EXPECT_EQ(FinalStatus(image.out), "0x0000") << image.out;
    EXPECT_EQ(storescp.Compare(mr).exitCode, 0);
    // Nothing selected: success with nothing sent.
    CommandResult none = Move({"-S", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=STUDY", "-k",
                               "StudyInstanceUID=1.2.3.4.5.6.7.8.9"});
    EXPECT_EQ(FinalStatus(none.out), "0x0000") << none.out;
    // Patient root by Patient ID.
    CommandResult patient = Move({"-P", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=PATIENT", "-k",
                                  "PatientID=" + Attribute(PydicomFile("rtplan.dcm"), "0010,0020")});
    EXPECT_EQ(FinalStatus(patient.out), "0x0000") << patient.out;
}

// Unknown destinations and one that is never called (port 0) are refused; nothing is sent.
TEST_F(ArchiveRetrieve, UnknownDestinationIsRefusedWithA801) {
    std::string study = Attribute(PydicomFile("CT_small.dcm"), "0020,000D");
    for (const char* destination : {"NOBODY", "NEVER"}) {
        CommandResult moved = Move(
            {"-S", "-aem", destination, "-k", "QueryRetrieveLevel=STUDY", "-k", "StudyInstanceUID=" + study});
        EXPECT_EQ(FinalStatus(moved.out), "0xa801") << destination << "\n" << moved.out;
    }
    EXPECT_EQ(FilesBelow(storescp.Out()), 0);
    // A malformed identifier (no study UID at the study level) is refused too, not served.
    CommandResult bad = Move({"-S", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=STUDY"});
    EXPECT_EQ(FinalStatus(bad.out), "0xa900") << bad.out;
}

// storescp takes the uncompressed syntaxes only: the object stored as RLE arrives converted, and
// its data set equals DCMTK's own decompression of the source.
TEST_F(ArchiveRetrieve, DestinationWithoutTheStoredSyntaxGetsAConvertedObject) {
    const std::string& source = rle;
    CommandResult moved = Move({"-S", "-aem", "STORESCP", "-k", "QueryRetrieveLevel=STUDY", "-k",
                                "StudyInstanceUID=" + Attribute(source, "0020,000D")});
    ASSERT_EQ(FinalStatus(moved.out), "0x0000") << moved.out;
    std::string decompressed = dir.File("decompressed.dcm");
    ASSERT_EQ(RunCommand({"dcmdrle", source, decompressed}).exitCode, 0);
    CommandResult compared = storescp.Compare(decompressed);
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    EXPECT_EQ(compared.out.rfind("1.2.840.10008.1.2.1", 0), 0u)
        << compared.out;  // arrived explicit VR little endian
}

// movescu +P receives the objects itself on the association the archive opens to it.
TEST_F(ArchiveRetrieve, MovescuReceivesTheObjectsItselfWithItsOwnPort) {
    std::string received = dir.File("movescu");
    std::filesystem::create_directories(received);
    std::string file = PydicomFile("CT_small.dcm");
    CommandResult moved =
        Move({"-S", "-aet", "MOVESCU", "-aem", "MOVESCU", "+P", std::to_string(movescuPort), "-od", received,
              "-k", "QueryRetrieveLevel=STUDY", "-k", "StudyInstanceUID=" + Attribute(file, "0020,000D")});
    EXPECT_EQ(FinalStatus(moved.out), "0x0000") << moved.out;
    CommandResult compared = CompareStored(file, received);
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
}

// getscu fetches on its own association (it asks for the provider's role of the storage
// classes): every object of a study, and one series, arrive equal.
TEST_F(ArchiveRetrieve, GetscuFetchesEqualObjectsOnItsAssociation) {
    std::string received = dir.File("getscu");
    std::filesystem::create_directories(received);
    for (const char* name : {"CT_small.dcm", "MR_small.dcm", "rtplan.dcm"}) {
        std::string file = PydicomFile(name);
        CommandResult got =
            RunCommand({"getscu", "-d", "-S", "-aec", "PELLA", "-od", received, "-k",
                        "QueryRetrieveLevel=SERIES", "-k", "StudyInstanceUID=" + Attribute(file, "0020,000D"),
                        "-k", "SeriesInstanceUID=" + Attribute(file, "0020,000E"), "127.0.0.1", Port()},
                       true);
        EXPECT_EQ(FinalStatus(got.out), "0x0000") << name << "\n" << got.out;
        CommandResult compared = CompareStored(file, received);
        EXPECT_EQ(compared.exitCode, 0) << name << "\n" << compared.out;
    }
    EXPECT_EQ(FilesBelow(received), 3);
}
