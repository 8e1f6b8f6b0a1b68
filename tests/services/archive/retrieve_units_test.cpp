// The archive's retrieve pieces that need no peer: the peers file, the keys of a retrieve
// identifier, and the final status a run of sub-operations ends with.
#include <gtest/gtest.h>

#include "services/archive/peers_file.h"
#include "services/archive/retrieve_keys.h"
#include "services/archive/retrieve_run.h"
#include "support/data_set_builder.h"
#include "support/temp_dir.h"

#include <fstream>

using namespace pella;
using testing_support::AddText;

TEST(PeersFile, LinesCommentsAndRefusals) {
    PeersFile file;
    std::string why;
    ASSERT_TRUE(
        ParsePeers("# archive peers\n"
                   "STORESCP 127.0.0.1 11113\n"
                   "  VIEWER   viewer.local  104  STORE,COMMIT   # a comment\r\n"
                   "\n"
                   "SILENT host 0\n",
                   file, why))
        << why;
    ASSERT_EQ(file.peers.size(), 3u);
    EXPECT_EQ(file.peers[0].aeTitle, "STORESCP");
    EXPECT_EQ(file.peers[0].host, "127.0.0.1");
    EXPECT_EQ(file.peers[0].port, 11113);
    EXPECT_EQ(file.peers[0].services, "");
    EXPECT_EQ(file.peers[1].services, "STORE,COMMIT");
    EXPECT_EQ(file.peers[1].port, 104);
    EXPECT_EQ(file.peers[2].port, 0);
    ASSERT_NE(file.Find("VIEWER          "), nullptr);  // a padded title finds its peer
    EXPECT_EQ(file.Find("VIEWER          ")->host, "viewer.local");
    EXPECT_EQ(file.Find("viewer"), nullptr);  // titles are compared exactly

    const struct {
        const char* text;
        const char* reason;
    } refused[] = {
        {"A host\n", "line 1: wants AE HOST PORT"},
        {"A host 1 x y\n", "line 1: wants AE HOST PORT"},
        {"# ok\nA host 65536\n", "line 2: the port '65536'"},
        {"A host -1\n", "line 1: the port '-1'"},
        {"A host 12a\n", "line 1: the port '12a'"},
        {"SEVENTEENCHARSXXX host 1\n", "line 1: the AE title"},
        {"A h 1\nA h 2\n", "line 2: the AE title 'A' is listed twice"},
        {"A 10.0.0.0/33 1\n", "line 1: the host '10.0.0.0/33' is not a CIDR range"},
        {"A 10.0.0/8 1\n", "line 1: the host '10.0.0/8' is not a CIDR range"},
        {"A h 1 echo,print\n", "line 1: the services 'echo,print'"},
        {"A h 1 ,\n", "line 1: the services ','"},
    };
    for (const auto& r : refused) {
        PeersFile bad;
        std::string reason;
        EXPECT_FALSE(ParsePeers(r.text, bad, reason)) << r.text;
        EXPECT_EQ(reason.rfind(r.reason, 0), 0u) << r.text << " gave: " << reason;
    }
}

TEST(PeersFile, LoadReadsTheFileAndRefusesWhatCannotBeRead) {
    testing_support::TempDir dir;
    std::string path = dir.File("peers.txt");
    std::ofstream(path) << "DEST 127.0.0.1 4242\n";
    PeersFile file;
    std::string why;
    ASSERT_TRUE(LoadPeersFile(path, file, why)) << why;
    ASSERT_NE(file.Find("DEST"), nullptr);
    EXPECT_EQ(file.Find("DEST")->port, 4242);
    EXPECT_FALSE(LoadPeersFile(dir.File("missing.txt"), file, why));
    EXPECT_NE(why.find("cannot be read"), std::string::npos);
    std::ofstream(path) << "DEST 127.0.0.1\n";
    EXPECT_FALSE(LoadPeersFile(path, file, why));
    EXPECT_NE(why.find("line 1"), std::string::npos);
}

namespace {

struct KeysCase {
    const char* level;
    const char* patient;
    const char* study;
    const char* series;
    const char* instance;
    bool patientRoot;
    bool accepted;
    size_t studies, series_, instances;
};

// The level's position in ArchiveLevel (PATIENT, STUDY, SERIES, IMAGE).
int LevelIndex(const char* level) {
    const std::string levels[] = {"PATIENT", "STUDY", "SERIES", "IMAGE"};
    for (int i = 0; i < 4; ++i)
        if (levels[i] == level) return i;
    return -1;
}

ElementList Identifier(const KeysCase& c) {
    ElementList list;
    if (c.level) AddText(list, 0x0008, 0x0052, "CS", c.level);
    if (c.instance) AddText(list, 0x0008, 0x0018, "UI", c.instance);
    if (c.patient) AddText(list, 0x0010, 0x0020, "LO", c.patient);
    if (c.study) AddText(list, 0x0020, 0x000D, "UI", c.study);
    if (c.series) AddText(list, 0x0020, 0x000E, "UI", c.series);
    return list;
}

}  // namespace

TEST(RetrieveKeys, LevelsListsAndRefusals) {
    const KeysCase cases[] = {
        {"STUDY", nullptr, "1.2.3", nullptr, nullptr, false, true, 1, 0, 0},
        {"STUDY", nullptr, "1.2.3\\1.2.4\\1.2.5", nullptr, nullptr, false, true, 3, 0, 0},
        {"STUDY", nullptr, "1.2.3", "9.9", "8.8", false, true, 1, 0, 0},  // keys below the level ignored
        {"SERIES", nullptr, "1.2.3", "1.2.3.4", nullptr, false, true, 1, 1, 0},
        {"SERIES", nullptr, nullptr, "1.2.3.4\\1.2.3.5", nullptr, false, true, 0, 2, 0},  // study key absent
        {"IMAGE", nullptr, "1.2", "1.2.3", "1.2.3.4.5", false, true, 1, 1, 1},
        {"PATIENT", "PID1", nullptr, nullptr, nullptr, true, true, 0, 0, 0},
        {"PATIENT", "PID1", nullptr, nullptr, nullptr, false, false, 0, 0,
         0},  // no patient level in study root
        {"PATIENT", nullptr, nullptr, nullptr, nullptr, true, false, 0, 0, 0},
        {"STUDY", nullptr, nullptr, nullptr, nullptr, false, false, 0, 0, 0},  // the level's own UID missing
        {"STUDY", nullptr, "", nullptr, nullptr, false, false, 0, 0, 0},
        {"IMAGE", nullptr, "1.2", "1.2.3", nullptr, false, false, 0, 0, 0},
        {"STUDY", nullptr, "../etc", nullptr, nullptr, false, false, 0, 0, 0},  // not a UID: never a path
        {"STUDY", nullptr, "1.2.3\\1.2/x", nullptr, nullptr, false, false, 0, 0, 0},
        {"SERIES", nullptr, "1.2.x", "1.2.3", nullptr, false, false, 0, 0, 0},  // invalid key above the level
        {"FRAME", nullptr, "1.2.3", nullptr, nullptr, false, false, 0, 0, 0},
        {nullptr, nullptr, "1.2.3", nullptr, nullptr, false, false, 0, 0, 0},
    };
    for (const KeysCase& c : cases) {
        RetrieveKeys keys;
        std::string why;
        std::string label = std::string(c.level ? c.level : "(none)") + " " + (c.study ? c.study : "-");
        ASSERT_EQ(ReadRetrieveKeys(Identifier(c), c.patientRoot, keys, why), c.accepted)
            << label << ": " << why;
        if (!c.accepted) {
            EXPECT_FALSE(why.empty()) << label;
            continue;
        }
        EXPECT_EQ(int(keys.level), LevelIndex(c.level)) << label;
        EXPECT_EQ(keys.patientIds.size(), c.patient ? 1u : 0u) << label;
        EXPECT_EQ(keys.studyUids.size(), c.studies) << label;
        EXPECT_EQ(keys.seriesUids.size(), c.series_) << label;
        EXPECT_EQ(keys.sopInstanceUids.size(), c.instances) << label;
    }
    // The values come without their padding.
    RetrieveKeys keys;
    std::string why;
    ASSERT_TRUE(ReadRetrieveKeys(
        Identifier({"STUDY", nullptr, "1.2.3\\1.2.45", nullptr, nullptr, false, true, 2, 0, 0}), false, keys,
        why));
    EXPECT_EQ(keys.studyUids, (std::vector<std::string>{"1.2.3", "1.2.45"}));
    // A wildcard Patient ID selects nothing by itself: the key stays open.
    ASSERT_TRUE(ReadRetrieveKeys(
        Identifier({"STUDY", "PID*", "1.2.3", nullptr, nullptr, true, true, 1, 0, 0}), true, keys, why));
    EXPECT_TRUE(keys.patientIds.empty());
}

TEST(RetrieveRun, FinalStatusFromTheCounts) {
    const struct {
        uint32_t completed, failed, warning;
        bool cancelled;
        uint16_t status;
    } cases[] = {
        {0, 0, 0, false, 0x0000},  // nothing matched: success
        {5, 0, 0, false, 0x0000},
        {4, 1, 0, false, kRetrieveWarning},
        {4, 0, 1, false, kRetrieveWarning},
        {0, 0, 2, false, kRetrieveWarning},
        {0, 3, 0, false, kRetrieveSubOperationsFailed},
        {2, 1, 0, true, kRetrieveCancelled},
        {0, 0, 0, true, kRetrieveCancelled},
    };
    for (const auto& c : cases) {
        RetrieveCounts counts;
        counts.completed = c.completed;
        counts.failed = c.failed;
        counts.warning = c.warning;
        EXPECT_EQ(FinalRetrieveStatus(counts, c.cancelled), c.status)
            << c.completed << "/" << c.failed << "/" << c.warning << (c.cancelled ? " cancelled" : "");
    }
}
