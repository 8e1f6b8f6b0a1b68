// C-FIND of `pella serve` against DCMTK's dcmqrscp holding the same files: findscu (-P and -S)
// gets the same match sets from both for a table of queries over every level and matching kind;
// stores and queries run side by side without a failed query.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "data/edit/open_sequences.h"
#include "data/io/dataset_reader.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

// Generated objects: 3 patients, 4 studies, 6 series, 24 images, with names, dates, times,
// modalities and numbers that the queries below tell apart.
const char* kGenerator = R"(
import sys, pydicom
src = pydicom.dcmread(sys.argv[1])
studies = [('Doe^John', 'P1', '20200105', '083000', 'A1', [('CT', 'HEAD'), ('SR', '')]),
           ('Doe^Jane', 'P2', '20210610', '141500', 'A2', [('MR', 'KNEE')]),
           ('Roe^Richard', 'P3', '20221231', '235959', 'B7', [('MR', 'SPINE'), ('CT', 'CHEST')]),
           ('Doe^John', 'P1', '20230301', '101010', 'A9', [('US', '')])]
for s, (name, pid, date, time, acc, series) in enumerate(studies):
    for r, (modality, body) in enumerate(series):
        for i in range(4 if r == 0 else 3):
            ds = src.copy()
            ds.SpecificCharacterSet = 'ISO_IR 100'
            ds.PatientName, ds.PatientID, ds.PatientBirthDate = name, pid, '19700101'
            ds.StudyDate, ds.StudyTime, ds.AccessionNumber, ds.StudyID = date, time, acc, str(s + 1)
            ds.StudyInstanceUID = '1.2.826.0.1.3680043.9.88.%d' % (s + 1)
            ds.SeriesInstanceUID = '1.2.826.0.1.3680043.9.88.%d.%d' % (s + 1, r + 1)
            ds.SOPInstanceUID = '1.2.826.0.1.3680043.9.88.%d.%d.%d' % (s + 1, r + 1, i + 1)
            ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
            ds.Modality, ds.BodyPartExamined, ds.SeriesNumber = modality, body, r + 1
            ds.InstanceNumber = i + 1
            if s == 2 and r == 0:
                request = pydicom.Dataset()
                request.RequestedProcedureID, request.ScheduledProcedureStepID = 'RP7', 'SPS1'
                ds.RequestAttributesSequence = [request]
            ds.save_as('%s/o%d%d%d.dcm' % (sys.argv[2], s, r, i), write_like_original=False)
)";

struct Query {
    const char* model;  // "-P" or "-S"
    const char* level;
    std::vector<std::string> keys;  // findscu -k arguments; the first is the level's unique key
    std::size_t expected;           // matches both must find
};

class ArchiveFind : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        fs::create_directories(dir_->File("qr"));
        fs::create_directories(dir_->File("gen"));
        qrPort_ = FreePort();
        std::ofstream(dir_->File("dcmqrscp.cfg"))
            << "NetworkTCPPort = " << qrPort_ << "\nMaxPDUSize = 16384\nMaxAssociations = 16\n"
            << "HostTable BEGIN\nHostTable END\nVendorTable BEGIN\nVendorTable END\nAETable BEGIN\n"
            << "ARCHIVE " << dir_->File("qr") << " RW (200, 1024mb) ANY\nAETable END\n";
        qr_ = new PeerProcess;
        ASSERT_TRUE(qr_->Start({"dcmqrscp", "-c", dir_->File("dcmqrscp.cfg"), std::to_string(qrPort_)}));
        ASSERT_TRUE(WaitForListener(qrPort_));
        serve_ = new ServeProcess(dir_->File("pella"));
        ASSERT_TRUE(serve_->started);
        int exit = -1;
        RunCommand("/usr/bin/python3 -c " + Quote(kGenerator) + " " + Quote(PydicomFile("CT_small.dcm")) +
                       " " + Quote(dir_->File("gen")),
                   &exit);
        ASSERT_EQ(exit, 0);
        for (int port : {qrPort_, serve_->port}) {
            RunCommand("storescu -aec ARCHIVE localhost " + std::to_string(port) + " " +
                           Quote(dir_->File("gen")) + "/*.dcm " + Quote(PydicomFile("MR_small.dcm")) +
                           " 2>&1",
                       &exit);
            ASSERT_EQ(exit, 0);
        }
        ready_ = true;
    }
    void SetUp() override { ASSERT_TRUE(ready_) << "the archives could not be set up"; }
    static void TearDownTestSuite() {
        delete serve_;
        delete qr_;
        delete dir_;
    }

    // The first key's value of every match findscu receives; `ok` tells whether it succeeded.
    static std::multiset<std::string> Findscu(int port, const Query& query, bool& ok) {
        TempDir out;
        std::string line = "findscu " + std::string(query.model) + " -aec ARCHIVE -X -od " +
                           Quote(out.Path().string()) + " localhost " + std::to_string(port) +
                           " -k 0008,0052=" + query.level;
        for (const std::string& key : query.keys) line += " -k " + Quote(key);
        int exit = -1;
        std::string output = RunCommand(line + " 2>&1", &exit);
        ok = exit == 0 && output.find("Error") == std::string::npos;
        std::string first = query.keys.at(0).substr(0, query.keys.at(0).find('='));
        uint16_t group = static_cast<uint16_t>(std::stoul(first.substr(0, 4), nullptr, 16));
        uint16_t element = static_cast<uint16_t>(std::stoul(first.substr(5, 4), nullptr, 16));
        std::multiset<std::string> matches;
        for (const auto& entry : fs::directory_iterator(out.Path())) {
            ElementList meta, data;
            ParseState state;
            if (ReadPart10File(entry.path().string(), meta, data, state))
                matches.insert(Trimmed(GetElementText(data, group, element)));
        }
        return matches;
    }

    static TempDir* dir_;
    static PeerProcess* qr_;
    static ServeProcess* serve_;
    static int qrPort_;
    static bool ready_;
};

TempDir* ArchiveFind::dir_ = nullptr;
PeerProcess* ArchiveFind::qr_ = nullptr;
ServeProcess* ArchiveFind::serve_ = nullptr;
int ArchiveFind::qrPort_ = 0;
bool ArchiveFind::ready_ = false;

TEST_F(ArchiveFind, SameMatchesAsDcmqrscpForEveryLevelAndMatchingKind) {
    const std::string study1 = "1.2.826.0.1.3680043.9.88.1";
    const std::string study3 = "1.2.826.0.1.3680043.9.88.3";
    const std::vector<Query> queries = {
        {"-P", "PATIENT", {"0010,0020", "0010,0010"}, 4},  // P1, P2, P3 and MR_small's patient
        {"-P", "PATIENT", {"0010,0020", "0010,0010=Doe*"}, 2},
        {"-P", "PATIENT", {"0010,0020", "0010,0010=Doe^J?n*"}, 1},
        {"-P", "STUDY", {"0020,000D", "0010,0020=P1"}, 2},
        {"-P", "SERIES", {"0020,000E", "0010,0020=P3", "0020,000D=" + study3}, 2},
        {"-P",
         "IMAGE",
         {"0008,0018", "0010,0020=P1", "0020,000D=" + study1, "0020,000E=" + study1 + ".2"},
         3},
        {"-S", "STUDY", {"0020,000D", "0010,0010=*"}, 5},
        {"-S", "STUDY", {"0020,000D", "0010,0010=Doe*"}, 3},
        {"-S", "STUDY", {"0020,000D", "0010,0010=doe*"}, 0},
        {"-S", "STUDY", {"0020,000D", "0010,0020=P2"}, 1},
        {"-S", "STUDY", {"0020,000D", "0008,0020=20210101-"}, 3},
        {"-S", "STUDY", {"0020,000D", "0008,0020=-20210610"}, 3},  // MR_small's study too
        {"-S", "STUDY", {"0020,000D", "0008,0020=20200101-20211231"}, 2},
        {"-S", "STUDY", {"0020,000D", "0008,0030=080000-150000"}, 3},
        {"-S", "STUDY", {"0020,000D", "0008,0050=A?"}, 3},
        {"-S", "STUDY", {"0020,000D=" + study1 + "\\" + study3}, 2},
        {"-S", "SERIES", {"0020,000E", "0020,000D=" + study1}, 2},
        {"-S", "SERIES", {"0020,000E", "0020,000D=" + study3, "0008,0060=CT"}, 1},
        {"-S", "IMAGE", {"0008,0018", "0020,000D=" + study3, "0020,000E=" + study3 + ".1"}, 4},
        {"-S", "IMAGE", {"0008,0018", "0020,000D=" + study3, "0020,000E=" + study3 + ".1", "0020,0013=2"}, 1},
        {"-S",
         "IMAGE",
         {"0008,0018=" + study3 + ".1.1\\" + study3 + ".1.4", "0020,000D=" + study3,
          "0020,000E=" + study3 + ".1"},
         2},
    };
    for (const Query& query : queries) {
        std::string what = std::string(query.model) + " " + query.level + " " + query.keys.back();
        bool pellaOk = false, qrOk = false;
        std::multiset<std::string> fromPella = Findscu(serve_->port, query, pellaOk);
        std::multiset<std::string> fromQr = Findscu(qrPort_, query, qrOk);
        EXPECT_TRUE(pellaOk) << what;
        EXPECT_TRUE(qrOk) << what;
        EXPECT_EQ(fromQr, fromPella) << what;
        EXPECT_EQ(query.expected, fromPella.size()) << what;
    }
}

TEST_F(ArchiveFind, ReturnsTheValuesOfReturnKeysAndTheCharacterSet) {
    TempDir out;
    int exit = -1;
    RunCommand("findscu -S -aec ARCHIVE -X -od " + Quote(out.Path().string()) + " localhost " +
                   std::to_string(serve_->port) +
                   " -k 0008,0052=STUDY -k 0020,000D=1.2.826.0.1.3680043.9.88.3 -k 0010,0010 -k 0008,0061"
                   " -k 0020,1206 -k 0020,1208 -k 0008,0050 2>&1",
               &exit);
    ASSERT_EQ(exit, 0);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out.Path())) files.push_back(entry.path());
    ASSERT_EQ(1u, files.size());
    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(files[0].string(), meta, data, state));
    EXPECT_EQ("ISO_IR 100", Trimmed(GetElementText(data, 0x0008, 0x0005)));
    EXPECT_EQ("Roe^Richard", Trimmed(GetElementText(data, 0x0010, 0x0010)));
    EXPECT_EQ("CT\\MR", Trimmed(GetElementText(data, 0x0008, 0x0061)));
    EXPECT_EQ("2", Trimmed(GetElementText(data, 0x0020, 0x1206)));
    EXPECT_EQ("7", Trimmed(GetElementText(data, 0x0020, 0x1208)));
    EXPECT_EQ("B7", Trimmed(GetElementText(data, 0x0008, 0x0050)));
}

TEST_F(ArchiveFind, MatchesAndReturnsTheKeysOfASequenceItem) {
    struct Case {
        const char* procedure;  // the item key's value in the query
        std::size_t matches;
    };
    for (const Case& c : {Case{"RP7", 1}, Case{"RP*", 1}, Case{"RP8", 0}, Case{"", 7}}) {
        TempDir out;
        int exit = -1;
        RunCommand("findscu -S -aec ARCHIVE -X -od " + Quote(out.Path().string()) + " localhost " +
                       std::to_string(serve_->port) + " -k 0008,0052=SERIES -k 0020,000E -k " +
                       Quote(std::string("(0040,0275)[0].(0040,1001)=") + c.procedure) +
                       " -k \"(0040,0275)[0].(0040,0009)\" 2>&1",
                   &exit);
        ASSERT_EQ(exit, 0);
        std::size_t found = 0;
        for (const auto& entry : fs::directory_iterator(out.Path())) {
            ++found;
            ElementList meta, data;
            ParseState state;
            std::string error;
            ASSERT_TRUE(ReadPart10File(entry.path().string(), meta, data, state));
            ASSERT_TRUE(OpenSequences(data, state.explicitVR, state.bigEndian, error)) << error;
            ASSERT_NE(nullptr, FindElement(data, 0x0040, 0x0275)) << "every match answers the sequence";
            if (Trimmed(GetElementText(data, 0x0020, 0x000E)) != "1.2.826.0.1.3680043.9.88.3.1") continue;
            const DataElement* step = FindNestedElement(data, 0x0040, 0x0009);
            ASSERT_NE(nullptr, step) << c.procedure;
            EXPECT_EQ("SPS1", Trimmed(std::string(reinterpret_cast<const char*>(step->value), step->length)));
        }
        EXPECT_EQ(c.matches, found) << c.procedure;
    }
}

TEST_F(ArchiveFind, QueriesRunWhileObjectsAreStored) {
    // 40 objects of a new study stored while findscu asks for the study's images in a loop.
    int exit = -1;
    RunCommand("/usr/bin/python3 -c " +
                   Quote("import sys, pydicom\n"
                         "src = pydicom.dcmread(sys.argv[1])\n"
                         "for i in range(40):\n"
                         "    ds = src.copy()\n"
                         "    ds.StudyInstanceUID = '1.2.826.0.1.3680043.9.89'\n"
                         "    ds.SeriesInstanceUID = '1.2.826.0.1.3680043.9.89.1'\n"
                         "    ds.SOPInstanceUID = '1.2.826.0.1.3680043.9.89.1.%d' % (i + 1)\n"
                         "    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID\n"
                         "    ds.save_as('%s/c%02d.dcm' % (sys.argv[2], i), write_like_original=False)\n") +
                   " " + Quote(PydicomFile("CT_small.dcm")) + " " + Quote(dir_->File("gen")),
               &exit);
    ASSERT_EQ(exit, 0);
    PeerProcess store;
    ASSERT_TRUE(store.Start({"/bin/sh", "-c",
                             "storescu -aec ARCHIVE localhost " + std::to_string(serve_->port) + " " +
                                 Quote(dir_->File("gen")) + "/c*.dcm"}));
    const Query images{"-S", "IMAGE", {"0008,0018", "0020,000D=1.2.826.0.1.3680043.9.89"}, 0};
    std::size_t last = 0;
    int status = -1;
    bool stored = false;
    while (!stored) {
        stored = store.WaitForExit(0, &status);  // looked at before the query: one more after the end
        bool ok = false;
        std::size_t found = Findscu(serve_->port, images, ok).size();
        EXPECT_TRUE(ok);
        EXPECT_GE(found, last) << "a stored object went missing from the matches";
        last = found;
    }
    EXPECT_EQ(0, status);
    bool ok = false;
    EXPECT_EQ(40u, Findscu(serve_->port, images, ok).size());
    EXPECT_TRUE(ok);
}

}  // namespace
