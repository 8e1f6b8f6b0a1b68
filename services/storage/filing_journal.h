// The journal of the filing steps under way. Filing makes a folder or moves a file into place and
// only then writes its index line; a process killed in between would leave a folder or file that
// no index lists, and a copy received again would find the file there and add no line. The
// journal records each such step before it is taken and is cleared once its line is written; at
// the next start, what a dead process's journal names is removed when its line is missing. That
// object was never acknowledged (the answer follows the filing), so its sender sends it again.
// An object whose archive rows wait for a commit shared with other objects keeps its entry (held)
// until then: at the next start its rows are recorded again when its line is there.
#pragma once

#include <string>
#include <vector>

#include "data/io/staged_file.h"
#include "services/storage/index_lines.h"

namespace pella {

class FilingJournal {
public:
    // Makes the journal in the incoming folder, named for this process like its staged files.
    explicit FilingJournal(const std::string& incomingFolder);
    ~FilingJournal();
    FilingJournal(const FilingJournal&) = delete;
    FilingJournal& operator=(const FilingJournal&) = delete;

    bool Valid() const { return fd_ >= 0; }

    // Records that `path` (a folder or file) is about to be made and that the line naming `key`
    // goes to `indexFile` of that kind. False when it cannot be recorded: the step must not go on.
    bool Begin(IndexKind kind, const std::string& path, const std::string& indexFile, const std::string& key);
    // The recorded step is complete: its line (and for an object, its archive rows) is written,
    // or the path taken back.
    void End();
    // The recorded step's line is written but its archive rows are not committed yet: its entry
    // stays, and later steps are recorded after it.
    void Hold();
    // Every held entry is complete (the rows committed, or the objects taken back).
    void Release();

private:
    StagedFile file_;
    int fd_ = -1;
    off_t held_ = 0;     // the held entries end here: the step under way is recorded from here
    off_t current_ = 0;  // the end of the step under way's entry (its terminating NUL follows)
};

// Undoes what the journals of processes no longer running in `incomingFolder` name: a recorded
// file, or an empty folder, whose index holds no line for it is removed. Journals themselves go
// with the other leftovers of the folder. Returns the object files the journals named that stay
// (their lines were written): their archive rows are to be recorded again.
std::vector<std::string> RecoverInterruptedFiling(const std::string& incomingFolder);

}  // namespace pella
