#include "services/archive/retrieve_keys.h"

#include "data/registry/uid.h"

namespace pella {

namespace {

// The values of a UID list ("1.2\3.4"), each trimmed of its padding; empty for an absent or
// empty element.
std::vector<std::string> UidList(const ElementList& identifier, uint16_t group, uint16_t element) {
    std::vector<std::string> uids;
    std::string text = GetElementText(identifier, group, element);
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        std::size_t end = text.find('\\', start);
        if (end == std::string::npos) end = text.size();
        std::string uid = text.substr(start, end - start);
        while (!uid.empty() && (uid.back() == ' ' || uid.back() == '\0')) uid.pop_back();
        while (!uid.empty() && uid.front() == ' ') uid.erase(uid.begin());
        uids.push_back(uid);
        start = end + 1;
    }
    return uids;
}

bool AllValid(const std::vector<std::string>& uids) {
    for (const std::string& uid : uids)
        if (!IsValidUid(uid)) return false;
    return true;
}

constexpr const char* kLevelNames[] = {"PATIENT", "STUDY", "SERIES", "IMAGE"};
constexpr ArchiveLevel kLevels[] = {ArchiveLevel::Patient, ArchiveLevel::Study, ArchiveLevel::Series,
                                    ArchiveLevel::Image};

// The level's rank: 0 patient, 1 study, 2 series, 3 image; -1 unknown.
int LevelRank(const std::string& level) {
    for (int i = 0; i < 4; ++i)
        if (level == kLevelNames[i]) return i;
    return -1;
}

}  // namespace

bool ReadRetrieveKeys(const ElementList& identifier, bool patientRoot, RetrieveKeys& keys, std::string& why) {
    keys = RetrieveKeys{};
    std::string level = GetElementText(identifier, 0x0008, 0x0052);
    int rank = LevelRank(level);
    if (rank < 0 || (rank == 0 && !patientRoot)) {
        why = "the retrieve level '" + level + "' is not served";
        return false;
    }
    keys.level = kLevels[rank];
    // A Patient ID selects only as a single value; a wildcard or empty one leaves the key open.
    std::string patientId = GetElementText(identifier, 0x0010, 0x0020);
    if (!patientId.empty() && patientId.find_first_of("*?") == std::string::npos)
        keys.patientIds = {patientId};
    keys.studyUids = UidList(identifier, 0x0020, 0x000D);
    keys.seriesUids = UidList(identifier, 0x0020, 0x000E);
    keys.sopInstanceUids = UidList(identifier, 0x0008, 0x0018);
    std::vector<std::string>* own[] = {&keys.patientIds, &keys.studyUids, &keys.seriesUids,
                                       &keys.sopInstanceUids};
    if (rank == 0 && keys.patientIds.empty()) {
        why = "a patient-level retrieve names no single Patient ID";
        return false;
    }
    if (rank > 0 && own[rank]->empty()) {
        why = "a " + level + "-level retrieve names no UID of its level";
        return false;
    }
    // Keys below the level say nothing; they are not used to select.
    for (int below = rank + 1; below < 4; ++below) own[below]->clear();
    if (!AllValid(keys.studyUids) || !AllValid(keys.seriesUids) || !AllValid(keys.sopInstanceUids)) {
        why = "the retrieve identifier holds a UID that is not valid";
        return false;
    }
    return true;
}

}  // namespace pella
