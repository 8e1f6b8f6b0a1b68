// The archive's index of stored objects: one row per patient, study, series and instance, kept
// beside the files by filing and read by the query and retrieve services. One interface, two
// backends: SQLite at <storage>/index.sqlite (sqlite_index.h), the default, or a PostgreSQL
// database that several servers share (postgres_index.h), named for the storage folder by
// SetArchiveIndexLocation.
//
// An ArchiveIndex is one connection: use it from one thread at a time (one per association or
// per thread). Several connections, in this process or others, read while one writes.
#pragma once

#include <memory>
#include <string>

#include "services/index/index_query.h"
#include "services/index/indexed_instance.h"
#include "services/index/stored_instance.h"

namespace pella {

class ArchiveIndex {
public:
    virtual ~ArchiveIndex() = default;

    // Adds or renews the rows of one filed object (its patient, study and series rows made or
    // kept). False (logged) when the rows could not be written; nothing of them stays then.
    virtual bool Record(const IndexedInstance& instance) = 0;

    // Hands the stored objects matching a retrieval's keys to `visit`, study by study and
    // series by series, as the rows are read (never gathered in memory).
    virtual IndexScan ListInstances(const RetrieveKeys& keys, const StoredInstanceVisitor& visit) = 0;

    // Hands every row of the query's level that matches its keys to `visit`, as read.
    virtual IndexScan Find(const IndexQuery& query, const QueryRowVisitor& visit) = 0;

    // Hands every instance row with all its index values to `visit`, as read (copying an index
    // into another).
    virtual IndexScan ListRecords(const IndexedInstanceVisitor& visit) = 0;

    // The number of instance rows (for reindexing and checks).
    virtual long long CountInstances() = 0;

    // Removes every row (before a rebuild). False (logged) when that failed.
    virtual bool Clear() = 0;

    // Groups the Record calls until Commit into one transaction: written together or not at all
    // (Rollback, or the process ending first).
    // Inside one, a Record that fails undoes its own rows only and the transaction goes on.
    virtual bool Begin() = 0;
    virtual bool Commit() = 0;
    virtual void Rollback() = 0;
    // A transaction is open (begun and not ended, nor ended by a failure of the database).
    virtual bool InTransaction() = 0;
    // Whether the rows of several objects may share one transaction. Not where other servers
    // write the same rows at once: two transactions each holding rows the other wants next
    // would deadlock.
    virtual bool GroupsCommits() const = 0;
};

// The file of the index below a storage folder.
std::string IndexDatabasePath(const std::string& storageFolder);

// The index's write-ahead log: committed rows are written there without a flush to the device;
// a durable writer flushes this file once its rows are committed.
std::string IndexLogPath(const std::string& storageFolder);

// Names the index of a storage folder for this process: "" for <storage>/index.sqlite, or a
// postgresql:// location. False with `reason` (nothing changed) for a location that is neither.
bool SetArchiveIndexLocation(const std::string& storageFolder, const std::string& location,
                             std::string& reason);

// The index location set for a storage folder ("" for SQLite beside the files).
std::string ArchiveIndexLocation(const std::string& storageFolder);

// What names the index of a storage folder in messages: the database file or the location.
std::string ArchiveIndexName(const std::string& storageFolder);

// Opens (and makes when missing, with its tables) the index of a storage folder as a new
// connection; null with `reason` when it cannot be opened. `created` tells whether the database
// file (or the tables) did not exist before, or held tables of an earlier layout that were made
// anew (a storage folder of an older version, to be reindexed).
std::unique_ptr<ArchiveIndex> OpenArchiveIndex(const std::string& storageFolder, std::string& reason,
                                               bool* created = nullptr);

}  // namespace pella
