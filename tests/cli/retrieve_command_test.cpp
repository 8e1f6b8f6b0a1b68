// pella get and pella move --port against DCMTK's dcmqrscp, configured and filled by the test:
// the objects fetched on the asking association, and those moved to the command itself, equal
// the stored files element by element; a study the archive does not hold brings nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/loopback_listener.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string Attribute(const std::string& file, const std::string& tag) {
    std::string out = RunCommand({"dcmdump", "-q", "-s", "+P", tag, file}).out;
    std::size_t open = out.find('['), close = out.find(']');
    return open == std::string::npos || close == std::string::npos ? ""
                                                                   : out.substr(open + 1, close - open - 1);
}

int DicomFilesBelow(const std::string& folder) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        count += it->path().extension() == ".dcm" ? 1 : 0;
    return count;
}

// Compares a source with its copy filed below `folder` as <Study>/<Series>/<SOP Instance>.dcm.
CommandResult CompareStored(const std::string& source, const std::string& folder) {
    std::string copy = folder + "/" + Attribute(source, "0020,000D") + "/" + Attribute(source, "0020,000E") +
                       "/" + Attribute(source, "0008,0018") + ".dcm";
    return RunCommand(
        {"/usr/bin/python3", PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py", source, copy});
}

class RetrieveCommands : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.File("archive"));
        port = FreePort();
        movePort = FreePort();
        std::ofstream(dir.File("dcmqrscp.cfg"))
            << "NetworkTCPPort = " << port << "\nMaxPDUSize = 16384\nMaxAssociations = 16\n"
            << "HostTable BEGIN\nPELLAMOVE = (PELLAMOVE, localhost, " << movePort << ")\n"
            << "HostTable END\nVendorTable BEGIN\nVendorTable END\nAETable BEGIN\n"
            << "ARCHIVE " << dir.File("archive") << " RW (200, 1024mb) ANY\nAETable END\n";
        ASSERT_TRUE(archive.Start({"dcmqrscp", "-c", dir.File("dcmqrscp.cfg"), std::to_string(port)}));
        ASSERT_TRUE(WaitForListener(port));
        CommandResult stored =
            RunCommand({"storescu", "-aec", "ARCHIVE", "localhost", std::to_string(port),
                        PydicomFile("CT_small.dcm"), PydicomFile("MR_small.dcm"), PydicomFile("rtplan.dcm")},
                       true);
        ASSERT_EQ(stored.exitCode, 0) << stored.out;
    }

    CommandResult Pella(std::vector<std::string> args) {
        args.insert(args.begin(), PELLA_CLI_PATH);
        args.push_back("127.0.0.1");
        args.push_back(std::to_string(port));
        return RunCommand(args, true);
    }

    TempDir dir;
    PeerProcess archive;
    int port = 0, movePort = 0;
};

}  // namespace

TEST_F(RetrieveCommands, GetFetchesEqualObjectsOnItsOwnAssociation) {
    std::string out = dir.File("got");
    for (const char* name : {"CT_small.dcm", "rtplan.dcm"}) {
        std::string file = PydicomFile(name);
        CommandResult got = Pella(
            {"get", "-aec", "ARCHIVE", "-od", out, "-k", "StudyInstanceUID=" + Attribute(file, "0020,000D")});
        EXPECT_EQ(got.exitCode, 0) << name << "\n" << got.out;
        EXPECT_NE(got.out.find("completed 1"), std::string::npos) << got.out;
        CommandResult compared = CompareStored(file, out);
        EXPECT_EQ(compared.exitCode, 0) << name << "\n" << compared.out;
    }
    // Patient Root at the study level, with the patient's ID.
    std::string mr = PydicomFile("MR_small.dcm");
    CommandResult patient =
        Pella({"get", "-P", "-aec", "ARCHIVE", "-od", out, "-k", "PatientID=" + Attribute(mr, "0010,0020"),
               "-k", "StudyInstanceUID=" + Attribute(mr, "0020,000D")});
    EXPECT_EQ(patient.exitCode, 0) << patient.out;
    EXPECT_EQ(CompareStored(mr, out).exitCode, 0);
    EXPECT_EQ(DicomFilesBelow(out), 3);
    // A study the archive does not hold: success with nothing fetched.
    CommandResult none =
        Pella({"get", "-aec", "ARCHIVE", "-od", dir.File("none"), "-k", "StudyInstanceUID=1.2.3.4.5.6.7"});
    EXPECT_EQ(none.exitCode, 0) << none.out;
    EXPECT_EQ(DicomFilesBelow(dir.File("none")), 0);
}

TEST_F(RetrieveCommands, MoveWithItsOwnPortReceivesTheObjects) {
    std::string out = dir.File("moved");
    std::string file = PydicomFile("MR_small.dcm");
    CommandResult moved =
        Pella({"move", "-aet", "PELLAMOVE", "-aec", "ARCHIVE", "--port", std::to_string(movePort), "-od", out,
               "-k", "StudyInstanceUID=" + Attribute(file, "0020,000D")});
    EXPECT_EQ(moved.exitCode, 0) << moved.out;
    EXPECT_EQ(DicomFilesBelow(out), 1);
    CommandResult compared = CompareStored(file, out);
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    // The port is free again once the command has ended: a second move can use it.
    CommandResult again =
        Pella({"move", "-aet", "PELLAMOVE", "-aec", "ARCHIVE", "--port", std::to_string(movePort), "-od", out,
               "-k", "StudyInstanceUID=" + Attribute(PydicomFile("CT_small.dcm"), "0020,000D")});
    EXPECT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(DicomFilesBelow(out), 2);
}
