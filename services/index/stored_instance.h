// What the archive index hands out about a stored object, and the keys that select stored
// objects for a retrieval: the records the retrieve services (C-MOVE, C-GET, storage
// commitment) work from.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pella {

// One stored object as the index lists it.
struct StoredInstance {
    std::string path;  // relative to the storage folder: <study>/<series>/<sop>.dcm
    std::string sopClassUid;
    std::string sopInstanceUid;
    std::string transferSyntaxUid;  // the syntax the file's data set is encoded in
};

// The level of a retrieval or query (Query/Retrieve Level, 0008,0052).
enum class ArchiveLevel { Patient, Study, Series, Image };

// The unique keys of a retrieval: each list holds the values of one key (a UID list is split at
// its "\"); an empty list leaves that key open. Only the keys at and above `level` are used.
struct RetrieveKeys {
    ArchiveLevel level = ArchiveLevel::Study;
    std::vector<std::string> patientIds;       // (0010,0020)
    std::vector<std::string> studyUids;        // (0020,000D)
    std::vector<std::string> seriesUids;       // (0020,000E)
    std::vector<std::string> sopInstanceUids;  // (0008,0018)
};

// Called once per listed object; returning false stops the listing early.
using StoredInstanceVisitor = std::function<bool(const StoredInstance&)>;

// How a listing (or a query) ended.
enum class IndexScan {
    Completed,  // every match was handed over
    Stopped,    // the visitor returned false
    Failed,     // the index could not be read (logged)
};

}  // namespace pella
