// The worklist query against DCMTK's wlmscpfs serving worklist files that the test writes with
// dump2dcm: the same scheduled steps as findscu -W returns for the same filters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "data/io/dataset_reader.h"
#include "services/query/query_records.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct Step {
    const char* modality;
    const char* id;
};

std::string WorklistDump(const std::string& name, const std::string& patientID,
                         std::initializer_list<Step> steps) {
    std::string dump = "(0008,0005) CS [ISO_IR 100]\n(0008,0050) SH [ACC" + patientID + "]\n"
                       "(0010,0010) PN [" + name + "]\n(0010,0020) LO [" + patientID + "]\n"
                       "(0010,0030) DA [19700101]\n(0010,0040) CS [F]\n"
                       "(0020,000d) UI [1.2.826.0.1.3680043.9.88." + patientID.substr(1) + "]\n"
                       "(0032,1032) PN [REQ^DOC]\n(0032,1060) LO [PROCEDURE]\n(0040,0100) SQ\n";
    for (const Step& s : steps)
        dump += std::string("(fffe,e000) na\n(0008,0060) CS [") + s.modality + "]\n"
                "(0040,0001) AE [STATION]\n(0040,0002) DA [20260101]\n(0040,0003) TM [080000]\n"
                "(0040,0006) PN [PERF^DOC]\n(0040,0007) LO [STEP " + s.id + "]\n(0040,0009) SH [" + s.id + "]\n"
                "(0040,0010) SH [NAME]\n(0040,0011) SH [ROOM]\n(0040,0012) LO [NONE]\n(fffe,e00d) na\n";
    return dump + "(fffe,e0dd) na\n(0040,1001) SH [RP" + patientID + "]\n(0040,1003) SH [HIGH]\n";
}

class WorklistProvider : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.File("wl/WLQ"));
        // One file per scheduled step (wlmscpfs ignores files whose sequence holds more than
        // one item); the second patient has two steps.
        struct Entry {
            const char* name;
            const char* id;
            Step step;
        };
        const Entry entries[] = {{"SMITH^JOHN", "P001", {"CT", "S1"}},
                                 {"SMYTHE^ANNE", "P002", {"MR", "S2"}},
                                 {"SMYTHE^ANNE", "P002", {"CT", "S3"}},
                                 {"JONES^BOB", "P003", {"MR", "S4"}}};
        for (const Entry& e : entries) {
            std::string dump = dir_.File(std::string(e.step.id) + ".dump");
            std::ofstream(dump) << WorklistDump(e.name, e.id, {e.step});
            int exit = -1;
            RunCommand("dump2dcm -q " + Quote(dump) + " " + Quote(dir_.File("wl/WLQ/" + std::string(e.step.id) + ".wl")), &exit);
            ASSERT_EQ(exit, 0);
        }
        std::ofstream(dir_.File("wl/WLQ/lockfile"));
        port_ = FreePort();
        ASSERT_TRUE(peer_.Start({"wlmscpfs", "-dfp", dir_.File("wl"), std::to_string(port_)}));
        ASSERT_TRUE(WaitForListener(port_));
    }

    // Patient ID and Modality of each step record pella worklist prints.
    std::multiset<std::string> Pella(const std::string& keys) {
        int exit = -1;
        std::string out = RunCommand(std::string(PELLA_CLI_PATH) + " worklist localhost " +
                                         std::to_string(port_) + " -aec WLQ " + keys,
                                     &exit);
        EXPECT_EQ(exit, 0) << out;
        std::multiset<std::string> found;
        std::string patient;
        for (std::size_t p = 0, q; (q = out.find('\n', p)) != std::string::npos; p = q + 1) {
            std::string line = out.substr(p, q - p);
            if (line.rfind("PatientID (0010,0020): ", 0) == 0) patient = line.substr(23);
            if (line.rfind("Modality (0008,0060): ", 0) == 0) found.insert(patient + " " + line.substr(22));
        }
        return found;
    }

    // The same from findscu -W: Patient ID and the step's Modality per response.
    std::multiset<std::string> Findscu(const std::string& keys) {
        TempDir out;
        int exit = -1;
        RunCommand("findscu -W -aec WLQ -X -od " + Quote(out.Path().string()) + " localhost " +
                       std::to_string(port_) + " -k PatientID -k PatientName -k "
                       "'ScheduledProcedureStepSequence[0].ScheduledProcedureStepID' " + keys + " 2>&1",
                   &exit);
        EXPECT_EQ(exit, 0);
        std::multiset<std::string> found;
        for (const auto& entry : fs::directory_iterator(out.Path())) {
            std::string text = RunCommand("dcmdump -q +P PatientID +P Modality " + Quote(entry.path().string()) +
                                          " | sed 's/.*\\[\\(.*\\)\\].*/\\1/' | tr '\\n' ' '");
            // "P002 MR " -> the patient and the step's modality
            std::string patient = text.substr(0, text.find(' '));
            text.pop_back();
            found.insert(patient + " " + text.substr(text.rfind(' ') + 1));
        }
        return found;
    }

    TempDir dir_;
    PeerProcess peer_;
    int port_ = 0;
};

}  // namespace

TEST_F(WorklistProvider, StepsAndFiltersMatchFindscu) {
    // Every scheduled step.
    std::multiset<std::string> all = Pella("");
    EXPECT_EQ(all, (std::multiset<std::string>{"P001 CT", "P002 MR", "P002 CT", "P003 MR"}));
    EXPECT_EQ(all, Findscu("-k 'ScheduledProcedureStepSequence[0].Modality'"));
    // A filter inside the sequence, and a patient name wildcard.
    std::multiset<std::string> mr = Pella("-k Modality=MR");
    EXPECT_EQ(mr, Findscu("-k 'ScheduledProcedureStepSequence[0].Modality=MR'"));
    EXPECT_FALSE(mr.empty());
    EXPECT_EQ(mr, (std::multiset<std::string>{"P002 MR", "P003 MR"}));
    std::multiset<std::string> sm = Pella("-k 'PatientName=SM*'");
    EXPECT_EQ(sm, Findscu("-k 'PatientName=SM*' -k 'ScheduledProcedureStepSequence[0].Modality'"));
    EXPECT_EQ(sm.size(), 3u);
}
