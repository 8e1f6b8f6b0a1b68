// Writing one filed object's rows: per level, an INSERT that keeps an existing row with the same
// key and returns its id, and the values it binds. Shared by the index's backends.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "services/index/indexed_instance.h"
#include "services/index/stored_instance.h"

namespace pella {

// The levels in the order their rows are written, each with its parent's column and its key.
struct UpsertLevel {
    ArchiveLevel level;
    const char* parentColumn;  // "" for the patient
    const char* keyColumns;
};

inline constexpr UpsertLevel kUpsertLevels[] = {
    {ArchiveLevel::Patient, "", "patient_id, issuer_of_patient_id"},
    {ArchiveLevel::Study, "patient_ref", "study_uid"},
    {ArchiveLevel::Series, "study_ref", "series_uid"},
    {ArchiveLevel::Image, "series_ref", "sop_uid"},
};

// The INSERT of one level's row ("?" parameters, SQLite's form) that keeps an existing row with
// the same key, its id returned either way; the instance level renews every value of a row
// stored again.
std::string UpsertText(const UpsertLevel& level);

// The values UpsertText binds: the parent row's id (when any), then the level's values.
std::vector<std::string> UpsertValues(const UpsertLevel& level, const std::string* parentId,
                                      const IndexedInstance& instance);

// The SELECT of the id of an existing row with the level's key ("?" parameters), and the key
// values it binds: a backend whose upsert locks the row it finds (PostgreSQL) looks first, so
// that servers filing objects of one patient or study at once do not wait for each other.
std::string LookupText(const UpsertLevel& level);
std::vector<std::string> LookupValues(const UpsertLevel& level, const IndexedInstance& instance);

// The ids of the patient, study and series rows a connection has written or found, so that the
// objects of one series write their instance row alone: those rows are only made or kept, never
// changed, so a known id stands for the upsert that would return it. Ids learned inside a
// transaction count once it is committed (Keep) and go with a rollback (Drop); everything is
// forgotten when rows are removed, when a row cannot be written (Forget) or too many are known.
class KnownParentRows {
public:
    static constexpr std::size_t kMaxKnown = 20000;

    // The id of the level's row with the instance's key; "" when unknown (and for instances).
    std::string Find(const UpsertLevel& level, const IndexedInstance& instance) const;
    // The id written or found for the level's row, pending until Keep.
    void Learn(const UpsertLevel& level, const IndexedInstance& instance, const std::string& id);
    void Keep();
    void Drop() { pending_.clear(); }
    void Forget();

private:
    std::unordered_map<std::string, std::string> known_;
    std::vector<std::pair<std::string, std::string>> pending_;
};

}  // namespace pella
