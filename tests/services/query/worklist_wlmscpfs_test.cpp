// The worklist query against DCMTK's wlmscpfs serving worklist files that the test writes with
// dump2dcm: the same scheduled steps as findscu -W returns for the same filters, the JSON output,
// and the character set a request declares.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

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
    const char* station;
};

std::string WorklistDump(const std::string& name, const std::string& patientID,
                         std::initializer_list<Step> steps) {
    std::string dump = "(0008,0005) CS [ISO_IR 100]\n(0008,0050) SH [ACC" + patientID +
                       "]\n"
                       "(0010,0010) PN [" +
                       name + "]\n(0010,0020) LO [" + patientID +
                       "]\n"
                       "(0010,0030) DA [19700101]\n(0010,0040) CS [F]\n"
                       "(0020,000d) UI [1.2.826.0.1.3680043.9.88." +
                       patientID.substr(1) +
                       "]\n"
                       "(0032,1032) PN [REQ^DOC]\n(0032,1060) LO [PROCEDURE]\n(0040,0100) SQ\n";
    for (const Step& s : steps)
        dump += std::string("(fffe,e000) na\n(0008,0060) CS [") + s.modality +
                "]\n"
                "(0040,0001) AE [" +
                s.station +
                "]\n(0040,0002) DA [20260101]\n(0040,0003) TM [080000]\n"
                "(0040,0006) PN [PERF^DOC]\n(0040,0007) LO [STEP " +
                s.id + "]\n(0040,0009) SH [" + s.id +
                "]\n"
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
        const Entry entries[] = {{"SMITH^JOHN", "P001", {"CT", "S1", "CTSCANNER"}},
                                 {"SMYTHE^ANNE", "P002", {"MR", "S2", "MRSCANNER"}},
                                 {"SMYTHE^ANNE", "P002", {"CT", "S3", "CTSCANNER"}},
                                 {"JONES^BOB", "P003", {"MR", "S4", "MRSCANNER"}}};
        for (const Entry& e : entries) {
            std::string dump = dir_.File(std::string(e.step.id) + ".dump");
            std::ofstream(dump) << WorklistDump(e.name, e.id, {e.step});
            int exit = -1;
            RunCommand("dump2dcm -q " + Quote(dump) + " " +
                           Quote(dir_.File("wl/WLQ/" + std::string(e.step.id) + ".wl")),
                       &exit);
            ASSERT_EQ(exit, 0);
        }
        std::ofstream(dir_.File("wl/WLQ/lockfile"));
        port_ = FreePort();
        ASSERT_TRUE(peer_.Start({"wlmscpfs", "-d", "-dfp", dir_.File("wl"), std::to_string(port_)},
                                dir_.File("wlmscpfs.log")));
        ASSERT_TRUE(WaitForListener(port_));
    }

    std::string RunPella(const std::string& keys) {
        int exit = -1;
        std::string out = RunCommand(std::string(PELLA_CLI_PATH) + " worklist localhost " +
                                         std::to_string(port_) + " -aec WLQ " + keys,
                                     &exit);
        EXPECT_EQ(exit, 0) << out;
        return out;
    }

    // Patient ID and Modality of each step record pella worklist prints.
    std::multiset<std::string> Pella(const std::string& keys) {
        std::string out = RunPella(keys);
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
                       std::to_string(port_) +
                       " -k PatientID -k PatientName -k "
                       "'ScheduledProcedureStepSequence[0].ScheduledProcedureStepID' " +
                       keys + " 2>&1",
                   &exit);
        EXPECT_EQ(exit, 0);
        std::multiset<std::string> found;
        for (const auto& entry : fs::directory_iterator(out.Path())) {
            std::string text =
                RunCommand("dcmdump -q +P PatientID +P Modality " + Quote(entry.path().string()) +
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

// Keys the worklist record holds reach the request at their place: the station's AE title
// inside the step item, the Requested Procedure ID after the sequence. Each selects the steps
// findscu selects with the same key.
TEST_F(WorklistProvider, StepAndProcedureKeysMatchFindscu) {
    std::multiset<std::string> ct = Pella("-k ScheduledStationAETitle=CTSCANNER");
    EXPECT_EQ(ct, Findscu("-k 'ScheduledProcedureStepSequence[0].ScheduledStationAETitle=CTSCANNER' "
                          "-k 'ScheduledProcedureStepSequence[0].Modality'"));
    EXPECT_EQ(ct, (std::multiset<std::string>{"P001 CT", "P002 CT"}));
    std::multiset<std::string> procedure = Pella("-k RequestedProcedureID=RPP002");
    EXPECT_EQ(procedure,
              Findscu("-k RequestedProcedureID=RPP002 -k 'ScheduledProcedureStepSequence[0].Modality'"));
    EXPECT_EQ(procedure, (std::multiset<std::string>{"P002 MR", "P002 CT"}));
}

namespace {

// The DICOM JSON objects of the responses, keyed by their Scheduled Procedure Step ID.
std::map<std::string, nlohmann::json> ByStepID(const nlohmann::json& objects) {
    std::map<std::string, nlohmann::json> byID;
    for (const nlohmann::json& o : objects)
        byID[o.at("00400100").at("Value").at(0).at("00400009").at("Value").at(0).get<std::string>()] = o;
    return byID;
}

}  // namespace

// --json follows the DICOM JSON model: the step attributes stay inside the Scheduled Procedure
// Step Sequence as received, with the values dcm2json gives for findscu's responses.
TEST_F(WorklistProvider, JsonKeepsTheStepSequenceNested) {
    auto pella = ByStepID(nlohmann::json::parse(RunPella("--json -k Modality=MR")));
    ASSERT_EQ(pella.size(), 2u);
    TempDir out;
    RunCommand("findscu -W -aec WLQ -X -od " + Quote(out.Path().string()) + " localhost " +
               std::to_string(port_) +
               " -k PatientID -k 'ScheduledProcedureStepSequence[0].ScheduledProcedureStepID' "
               "-k 'ScheduledProcedureStepSequence[0].Modality=MR' "
               "-k 'ScheduledProcedureStepSequence[0].ScheduledStationAETitle' 2>&1");
    nlohmann::json received = nlohmann::json::array();
    for (const auto& entry : fs::directory_iterator(out.Path()))
        received.push_back(nlohmann::json::parse(RunCommand("dcm2json " + Quote(entry.path().string()))));
    auto findscu = ByStepID(received);
    ASSERT_EQ(findscu.size(), 2u);
    for (const auto& [id, match] : pella) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(match.contains("00080060")) << "Modality flattened to the top level";
        EXPECT_FALSE(match.contains("00400001"));
        const nlohmann::json& sequence = match.at("00400100");
        EXPECT_EQ(sequence.at("vr"), "SQ");
        ASSERT_EQ(sequence.at("Value").size(), 1u);
        const nlohmann::json& step = sequence.at("Value").at(0);
        const nlohmann::json& expected = findscu.at(id).at("00400100").at("Value").at(0);
        for (const char* tag : {"00080060", "00400001", "00400009"})
            EXPECT_EQ(step.at(tag), expected.at(tag)) << tag;
        EXPECT_EQ(match.at("00100020"), findscu.at(id).at("00100020"));
        EXPECT_EQ(match.at("00401001").at("Value").at(0),
                  "RP" + match.at("00100020").at("Value").at(0).get<std::string>());
    }
}

// A key holding UTF-8 text makes the request declare ISO_IR 192, as wlmscpfs logs the
// identifier it received; a plain ASCII key declares no character set.
TEST_F(WorklistProvider, Utf8KeyDeclaresItsCharacterSet) {
    auto logSize = [&] { return fs::file_size(dir_.File("wlmscpfs.log")); };
    std::uintmax_t before = logSize();
    RunPella("-k 'PatientName=NOBODY*'");
    std::uintmax_t afterAscii = logSize();
    RunPella("-k 'PatientName=M\xC3\x9CLLER*'");
    std::ifstream file(dir_.File("wlmscpfs.log"));
    std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string ascii = log.substr(before, afterAscii - before);
    std::string utf8 = log.substr(afterAscii);
    EXPECT_NE(ascii.find("NOBODY*"), std::string::npos) << "wlmscpfs logged no identifier:\n" << ascii;
    EXPECT_EQ(ascii.find("(0008,0005)"), std::string::npos) << ascii;
    EXPECT_NE(utf8.find("(0008,0005) CS [ISO_IR 192]"), std::string::npos) << utf8;
}
