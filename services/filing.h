// Filing received objects into the storage database: one line per new study in the root's
// "KPStudy.dir", per new series in the study's "Series.dir", per new image in the series'
// "Image.dir", with the folders <root>/<study>/<series> created on the way.
//
// All filing is serialised by one process-wide lock, so that objects of one study arriving at
// once still give exactly one study line and one series line. A caller that writes the object's
// file itself holds FilingLock() across IndexReceivedObject and that write (a second copy of an
// object arriving meanwhile then finds the file and adds no line), or lets FileReceivedObject
// do both.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "data/model/element_list.h"

namespace pella {

enum class FilingResult {
    Indexed,          // the index lines of a new object were written
    AlreadyReceived,  // the object's file exists already: nothing written
    Refused,          // a UID cannot stand in a path (or the root is empty): nothing written
    IndexNotWritten,  // a folder could not be made or an index file not appended to
};

// True for the results after which the object counts as filed in the index.
inline bool FilingSucceeded(FilingResult result) {
    return result == FilingResult::Indexed || result == FilingResult::AlreadyReceived;
}

// The process-wide filing lock; it may be taken again by the thread that holds it.
std::unique_lock<std::recursive_mutex> FilingLock();

// Records one received object in the index files below `databaseRoot`. `fileName` is where the
// caller is about to write the object; when that file exists the object was received before
// and nothing is written. The Study, Series and SOP Instance UIDs must be valid UIDs (see
// IsValidUid). Each line is built whole and appended with one write. Takes the filing lock.
FilingResult IndexReceivedObject(const std::string& fileName, const std::string& databaseRoot,
                                 const ElementList& dataSet);

// Writes the object's file to the given name; true on success.
using ObjectFileWriter = std::function<bool(const std::string& fileName)>;

struct FilingOutcome {
    FilingResult index = FilingResult::Refused;
    std::string fileName;  // <storage>/<study>/<series>/<sop>.dcm; empty when refused
    bool written = false;  // the writer was called and succeeded
};

// Files one received object under the filing lock: computes its file name below
// `storageFolder`, indexes it below `databaseRoot`, creates its series folder and calls
// `writeFile`. The file is written also when the index could not be (the object itself is
// kept); a refused object (invalid UID, empty storage folder or root) is neither indexed nor
// written. A file that exists already is replaced.
FilingOutcome FileReceivedObject(const std::string& storageFolder, const std::string& databaseRoot,
                                 const ElementList& dataSet, const ObjectFileWriter& writeFile);

}  // namespace pella
