// Filing received objects into the storage database: one line per new study in the root's
// "KPStudy.dir", per new series in the study's "Series.dir", per new image in the series'
// "Image.dir", with the folders <root>/<study>/<series> created on the way.
//
// A received object is first written in full as a staged file (data/io/staged_file.h) in the
// storage folder's ".incoming" folder, with no lock held. Then, under one short process-wide
// lock, its study and series folders are made (with their index lines exactly when a folder is made), the
// file is renamed into place and its image line appended. So objects of one study arriving at once give one
// study line and one series line, a complete file replaces an existing copy only by the rename, and a crash
// leaves at most a temporary file, never a half-written one under its final name or an index line for an
// object that is not there; a folder or file made just before the crash, whose line was not yet written,
// is removed at the next start (services/storage/filing_journal.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/io/staged_file.h"
#include "data/model/element_list.h"

namespace pella {

enum class FilingResult {
    Indexed,          // the index lines of a new object were written
    AlreadyReceived,  // the object's file existed: replaced, with its image line
    Refused,          // a UID cannot stand in a path (or the root is empty): nothing written
    IndexNotWritten,  // a folder could not be made or an index file not appended to
    FileNotWritten,   // the object's file could not be written or moved into place
};

// True for the results after which the object counts as filed in the index.
inline bool FilingSucceeded(FilingResult result) {
    return result == FilingResult::Indexed || result == FilingResult::AlreadyReceived;
}

// Writes the object's file to the given name; true on success.
using ObjectFileWriter = std::function<bool(const std::string& fileName)>;

struct FilingOptions {
    // Flush the file, its folder and the index files to the device before returning, so that
    // an acknowledged object survives a crash of the machine, not only of the process.
    bool sync = false;
    // Also record the object in the archive index of the storage folder (services/index), in the
    // same step as its index lines: both or neither, acknowledged after both.
    bool archiveIndex = false;
    // The transfer syntax of the filed data set, as the archive index lists it.
    std::string transferSyntax = {};
};

struct FilingOutcome {
    FilingResult index = FilingResult::Refused;
    std::string fileName;  // <storage>/<study>/<series>/<sop>.dcm; empty when refused
    // The object is on disk under fileName and listed in the index (now or before).
    bool Filed() const { return FilingSucceeded(index); }
};

// Files one received object (see the top of this file): `writeFile` writes it to a temporary
// name below `storageFolder`/.incoming, then the index below `databaseRoot` and the final name
// <storage>/<study>/<series>/<sop>.dcm are updated under the filing lock. A study or series
// line is written exactly when its folder is made; an image line when the file was not there
// before, and a copy received again replaces the file and its image line, so that the index
// holds one line with the new values. When anything fails nothing stays behind: no temporary
// file, no index line, no new file (except a copy received again whose file replaced the old one
// but whose line could not be renewed: IndexNotWritten, so that the sender sends it again); an
// exception of `writeFile` goes to the caller, also without a trace. A refused object (invalid UID, empty
// storage folder or root) is not written at all.
FilingOutcome FileReceivedObject(const std::string& storageFolder, const std::string& databaseRoot,
                                 const ElementList& dataSet, const ObjectFileWriter& writeFile,
                                 const FilingOptions& options = {});

// FileReceivedObject for an object already written whole to `staged` (made by StageIncoming):
// the same filing, without writing it again.
FilingOutcome FileStagedObject(const std::string& storageFolder, const std::string& databaseRoot,
                               const ElementList& dataSet, StagedFile& staged,
                               const FilingOptions& options = {});

// The folder of temporary files below a storage folder.
std::string IncomingFolder(const std::string& storageFolder);

// A new staged file "<pid>-<start>-<boot>-<n>.part" in the incoming folder (which must exist),
// removed unless moved into place; stale ones are removed by PrepareStorageFolder.
StagedFile StageIncoming(const std::string& storageFolder);

// Makes the storage folder and its ".incoming" folder when missing, removes temporary files
// left there by processes that no longer run, and proves that a file can be written there.
// False with `reason` when the folder cannot be used. `recoveredFiles` receives the object files
// an interrupted run filed without being sure of their archive rows.
bool PrepareStorageFolder(const std::string& storageFolder, std::string& reason,
                          std::vector<std::string>* recoveredFiles = nullptr);

// Makes the database root when missing; false with `reason` when it cannot be written.
bool PrepareDatabaseRoot(const std::string& databaseRoot, std::string& reason);

}  // namespace pella
