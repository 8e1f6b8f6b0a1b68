// C-FIND and C-MOVE against DCMTK's dcmqrscp, configured and filled by the test: the matches
// equal what findscu returns for the same keys; moves land in pella's storage server.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/io/dataset_reader.h"
#include "services/query/find.h"
#include "services/query/move.h"
#include "services/query/query_records.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/running_store_server.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

using Match = std::map<std::string, std::string>;  // "gggg,eeee" -> value without padding

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

std::string TagKey(uint16_t group, uint16_t element) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X,%04X", group, element);
    return text;
}

// An archive for the whole suite: pella's storage server as the move destination, dcmqrscp
// holding pydicom samples of three patients and a generated series of 20 images.
class DcmqrscpArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        server_ = new RunningServer(*dir_);
        ASSERT_TRUE(server_->started);
        fs::create_directories(dir_->File("archive"));
        fs::create_directories(dir_->File("gen"));
        port_ = FreePort();
        std::ofstream(dir_->File("dcmqrscp.cfg"))
            << "NetworkTCPPort = " << port_ << "\nMaxPDUSize = 16384\nMaxAssociations = 16\n"
            << "HostTable BEGIN\nPELLASERVE = (PELLASERVE, localhost, " << server_->port << ")\n"
            << "HostTable END\nVendorTable BEGIN\nVendorTable END\nAETable BEGIN\n"
            << "ARCHIVE " << dir_->File("archive") << " RW (200, 1024mb) ANY\nAETable END\n";
        peer_ = new PeerProcess;
        ASSERT_TRUE(peer_->Start({"dcmqrscp", "-c", dir_->File("dcmqrscp.cfg"), std::to_string(port_)}));
        ASSERT_TRUE(WaitForListener(port_));
        const std::string script = R"(
import sys, pydicom
src = pydicom.dcmread(sys.argv[1])
for i in range(20):
    ds = src.copy()
    ds.PatientName = 'GENERATED^SERIES'
    ds.PatientID = 'GEN20'
    ds.StudyInstanceUID = '1.2.826.0.1.3680043.9.77.1'
    ds.SeriesInstanceUID = '1.2.826.0.1.3680043.9.77.1.1'
    ds.SOPInstanceUID = '1.2.826.0.1.3680043.9.77.1.1.%d' % (i + 1)
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    ds.InstanceNumber = i + 1
    ds.StudyDate = '20200202'
    ds.save_as('%s/gen%02d.dcm' % (sys.argv[2], i), write_like_original=False)
)";
        int exit = -1;
        RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(PydicomFile("CT_small.dcm")) + " " +
                       Quote(dir_->File("gen")),
                   &exit);
        ASSERT_EQ(exit, 0);
        RunCommand("storescu -aec ARCHIVE localhost " + std::to_string(port_) + " " +
                       Quote(PydicomFile("CT_small.dcm")) + " " + Quote(PydicomFile("MR_small.dcm")) + " " +
                       Quote(PydicomFile("rtplan.dcm")) + " " + Quote(dir_->File("gen")) + "/*.dcm 2>&1",
                   &exit);
        ASSERT_EQ(exit, 0);
        ready_ = true;
    }
    // A suite whose archive could not be set up fails every test instead of skipping it.
    void SetUp() override { ASSERT_TRUE(ready_) << "the dcmqrscp archive could not be set up"; }
    static void TearDownTestSuite() {
        delete peer_;
        delete server_;
        delete dir_;
    }

    // What findscu returns for the level and keys (every field of the level's record asked
    // for), read from the response files it extracts.
    static std::vector<Match> Findscu(QueryLevel level, const std::map<int, std::string>& keys) {
        TempDir out;
        std::string line = "findscu -S -aec ARCHIVE -X -od " + Quote(out.Path().string()) + " localhost " +
                           std::to_string(port_) + " -k 0008,0052=" + LevelText(level);
        auto fields = QueryFields(level);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            auto value = keys.find(int(i));
            line += " -k " + Quote(TagKey(fields[i].group, fields[i].element) +
                                   (value == keys.end() ? "" : "=" + value->second));
        }
        int exit = -1;
        RunCommand(line + " 2>&1", &exit);
        EXPECT_EQ(exit, 0) << line;
        std::vector<Match> matches;
        for (const auto& entry : fs::directory_iterator(out.Path())) {
            ElementList meta, data;
            ParseState state;
            EXPECT_TRUE(ReadPart10File(entry.path().string(), meta, data, state));
            Match match;
            for (const QueryField& f : fields) {
                const DataElement* e = FindElement(data, f.group, f.element);
                if (e && HasValue(*e))
                    match[TagKey(f.group, f.element)] =
                        Trimmed(std::string(reinterpret_cast<char*>(e->value), std::size_t(e->length)));
            }
            matches.push_back(match);
        }
        std::sort(matches.begin(), matches.end());
        return matches;
    }

    // What FindSCU returns for the same keys.
    static std::vector<Match> Pella(QueryLevel level, const std::map<int, std::string>& keys, bool& ok) {
        QueryRecordList list;
        void* query = NewQueryRecord(level);
        for (const auto& [position, value] : keys)
            SetQueryField(query, level, position, value.data(), value.size());
        list.records.push_back(query);
        std::string calling = "PELLA";
        ok = FindSCU("localhost", std::to_string(port_), calling, "ARCHIVE", LevelText(level), list);
        std::vector<Match> matches;
        auto fields = QueryFields(level);
        for (void* record : list.records) {
            Match match;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                std::string value = Trimmed(QueryFieldText(record, level, int(i)));
                if (!value.empty()) match[TagKey(fields[i].group, fields[i].element)] = value;
            }
            matches.push_back(match);
        }
        ClearRecords(list, level);
        std::sort(matches.begin(), matches.end());
        return matches;
    }

    static TempDir* dir_;
    static RunningServer* server_;
    static PeerProcess* peer_;
    static int port_;
    static bool ready_;
};

TempDir* DcmqrscpArchive::dir_ = nullptr;
RunningServer* DcmqrscpArchive::server_ = nullptr;
PeerProcess* DcmqrscpArchive::peer_ = nullptr;
int DcmqrscpArchive::port_ = 0;
bool DcmqrscpArchive::ready_ = false;

const std::string kGenStudy = "1.2.826.0.1.3680043.9.77.1";
const std::string kGenSeries = "1.2.826.0.1.3680043.9.77.1.1";

}  // namespace

TEST_F(DcmqrscpArchive, FindMatchesFindscuAtEveryLevel) {
    struct Case {
        const char* name;
        QueryLevel level;
        std::map<int, std::string> keys;
        std::size_t count;
    };
    const Case cases[] = {
        {"every study", QueryLevel::Study, {}, 4},
        {"patient name wildcard", QueryLevel::Study, {{0, "C*"}}, 2},
        {"study date range", QueryLevel::Study, {{5, "20040101-20041231"}}, 2},
        {"series of the generated study", QueryLevel::Series, {{7, kGenStudy}}, 1},
        {"images of the generated series", QueryLevel::Image, {{10, kGenStudy}, {9, kGenSeries}}, 20},
        {"a list of UIDs",
         QueryLevel::Image,
         {{10, kGenStudy}, {9, kGenSeries}, {6, kGenSeries + ".3\\" + kGenSeries + ".17"}},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = false;
        std::vector<Match> ours = Pella(c.level, c.keys, ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(ours.size(), c.count);
        EXPECT_EQ(ours, Findscu(c.level, c.keys));
    }
}

// The CLI prints each match and counts them; an unknown key is refused before anything is sent.
TEST_F(DcmqrscpArchive, FindCommandPrintsEveryMatch) {
    std::string pella =
        std::string(PELLA_CLI_PATH) + " find localhost " + std::to_string(port_) + " -aec ARCHIVE ";
    int exit = -1;
    std::string out = RunCommand(pella + "-k QueryRetrieveLevel=IMAGE -k StudyInstanceUID=" + kGenStudy +
                                     " -k 0020,000E=" + kGenSeries + " 2>&1",
                                 &exit);
    EXPECT_EQ(exit, 0);
    EXPECT_NE(out.find("# match 20\n"), std::string::npos);
    EXPECT_EQ(out.find("# match 21\n"), std::string::npos);
    EXPECT_NE(out.find("SOPInstanceUID (0008,0018): " + kGenSeries + ".20"), std::string::npos);
    EXPECT_NE(out.find("pella find: 20 matches; final status: success"), std::string::npos);

    std::string json =
        RunCommand(pella + "--json -L SERIES -k '(0020,000d)=" + kGenStudy + "'" +
                       " | /usr/bin/python3 -c 'import json,sys; d=json.load(sys.stdin); "
                       "print(len(d), d[0][\"0020000E\"][\"Value\"][0], d[0][\"00200011\"][\"vr\"])'",
                   &exit);
    EXPECT_EQ(exit, 0);
    EXPECT_EQ(json, "1 " + kGenSeries + " IS\n");

    out = RunCommand(pella + "-k PatientWeight=70 2>&1", &exit);
    EXPECT_EQ(exit, 2);
    EXPECT_NE(out.find("\"PatientWeight\" is no key of the STUDY record"), std::string::npos);
    EXPECT_NE(out.find("StudyInstanceUID (0020,000D)"), std::string::npos);
    out = RunCommand(pella + "-L PATIENT 2>&1", &exit);
    EXPECT_EQ(exit, 2);
}

// Moves of a study, a series and one image land in pella's storage server, on disk and in its
// index files; a move to a destination the archive does not know ends with its failure status.
TEST_F(DcmqrscpArchive, MoveIntoPellaServe) {
    std::string pella = std::string(PELLA_CLI_PATH) + " move localhost " + std::to_string(port_) +
                        " -aec ARCHIVE -aem PELLASERVE ";
    int exit = -1;
    std::string out = RunCommand(pella + " 2>&1", &exit);
    EXPECT_EQ(exit, 2) << "no keys and no --all: " << out;
    EXPECT_NE(out.find("--all"), std::string::npos) << out;
    out = RunCommand(pella + "-k StudyInstanceUID=" + kGenStudy + " 2>&1", &exit);
    EXPECT_EQ(exit, 0) << out;
    EXPECT_NE(out.find("final status: success"), std::string::npos) << out;
    EXPECT_NE(out.find("completed 20"), std::string::npos) << out;
    // Not a terminal: a progress line per tenth at most, not one per pending response.
    std::size_t pendingLines = 0;
    for (std::size_t at = out.find("pending:"); at != std::string::npos; at = out.find("pending:", at + 1))
        ++pendingLines;
    EXPECT_LE(pendingLines, 10u) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << out;
    const fs::path db = dir_->File("db");
    for (int i = 1; i <= 20; ++i)
        EXPECT_TRUE(
            fs::exists(db / kGenStudy / kGenSeries / (kGenSeries + "." + std::to_string(i) + ".dcm")));
    std::string index = RunCommand("cat " + Quote((db / kGenStudy / kGenSeries / "Image.dir").string()));
    EXPECT_NE(index.find(kGenSeries + ".20"), std::string::npos);

    // A series and an image, through the library.
    QueryRecordList list;
    void* series = NewQueryRecord(QueryLevel::Series);
    std::string ctStudy = "1.3.6.1.4.1.5962.1.2.1.20040119072730.12322";
    std::string ctSeries = "1.3.6.1.4.1.5962.1.3.1.1.20040119072730.12322";
    SetQueryField(series, QueryLevel::Series, 7, ctStudy.data(), ctStudy.size());
    SetQueryField(series, QueryLevel::Series, 4, ctSeries.data(), ctSeries.size());
    list.records.push_back(series);
    std::string calling = "PELLA";
    EXPECT_TRUE(
        MoveSCU("localhost", std::to_string(port_), calling, "ARCHIVE", "PELLASERVE", "SERIES", list));
    EXPECT_TRUE(list.records.empty());
    EXPECT_TRUE(fs::exists(db / ctStudy / ctSeries / "1.3.6.1.4.1.5962.1.1.1.1.1.20040119072730.12322.dcm"));
    EXPECT_NE(RunCommand("cat " + Quote((db / "KPStudy.dir").string())).find(ctStudy), std::string::npos);

    out = RunCommand(pella +
                         "-L IMAGE -k StudyInstanceUID=1.3.6.1.4.1.5962.1.2.4.20040826185059.5457"
                         " -k SeriesInstanceUID=1.3.6.1.4.1.5962.1.3.4.1.20040826185059.5457"
                         " -k SOPInstanceUID=1.3.6.1.4.1.5962.1.1.4.1.1.20040826185059.5457 2>&1",
                     &exit);
    EXPECT_EQ(exit, 0) << out;
    EXPECT_TRUE(fs::exists(db / "1.3.6.1.4.1.5962.1.2.4.20040826185059.5457"));

    out = RunCommand(std::string(PELLA_CLI_PATH) + " move localhost " + std::to_string(port_) +
                         " -aec ARCHIVE -aem NOWHERE -k StudyInstanceUID=" + kGenStudy + " 2>&1",
                     &exit);
    EXPECT_EQ(exit, 1);
    EXPECT_NE(out.find("final status: failure 0xA801: move destination unknown"), std::string::npos) << out;
}

// A scripting host without C: FindSCU through Python's ctypes, records made with the header's
// helpers; NULL lists and a wrong level are refused without a crash.
TEST_F(DcmqrscpArchive, FindSCUThroughCtypes) {
    int exit = -1;
#ifdef __SANITIZE_ADDRESS__  // a sanitized library loads into Python only after its runtimes
    std::string python =
        "ASAN_OPTIONS=detect_leaks=0 LD_PRELOAD=\"$(gcc -print-file-name=libasan.so) "
        "$(gcc -print-file-name=libstdc++.so)\" /usr/bin/python3 ";
#else
    std::string python = "/usr/bin/python3 ";
#endif
    std::string out = RunCommand(python + Quote(std::string(PELLA_SOURCE_DIR) + "/tests/api/find_ctypes.py") +
                                     " " + Quote(PELLA_LIBRARY_PATH) + " " + std::to_string(port_) + " " +
                                     kGenStudy + " " + kGenSeries + " 2>&1",
                                 &exit);
    EXPECT_EQ(exit, 0) << out;
    EXPECT_EQ(out.rfind("1 20\n", 0), 0u) << out;
    for (int i = 1; i <= 20; ++i)
        EXPECT_NE(out.find("\n" + kGenSeries + "." + std::to_string(i) + "\n"), std::string::npos) << i;
}
