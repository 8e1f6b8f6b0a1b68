// Writing a file under a temporary name and renaming it into place, so that the final name only
// ever holds a whole file. The temporary file is removed on every path that does not end in the
// rename, an exception included.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pella {

class StagedFile {
public:
    // Creates a new, empty file named <prefix><pid>-<start>-<boot>-<n><suffix>, unique within the
    // process and across processes: the process's PID, start time and boot name it, so that a
    // later process with the same PID is told apart (see RemoveStaleStagedFiles),
    // with `mode` as the process's umask allows. Valid() is false when no file could be made;
    // errno then says why.
    // The file stays open for writing (Descriptor) until it is moved into place or removed.
    StagedFile(const std::string& prefix, const std::string& suffix, mode_t mode = 0666);
    ~StagedFile();  // removes the file unless it was moved into place
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;  // the file becomes this object's
    StagedFile& operator=(StagedFile&&) = delete;

    bool Valid() const { return !name_.empty(); }
    const std::string& Name() const { return name_; }
    // The descriptor the file was made with (write-only), so that it is written and flushed
    // without being opened again; -1 once the file is moved or when it could not be made.
    int Descriptor() const { return fd_; }

    // Flushes the file's contents to the device through its own descriptor; false (logged) when
    // that fails.
    bool Sync() const;

    // Renames the file to `fileName`, replacing what is there; afterwards the file is no longer
    // this object's. False (the file stays staged) when the rename fails.
    bool MoveTo(const std::string& fileName);

    // The same, but only when nothing is named `fileName` yet: false with `exists` set when
    // something is (the file stays staged), false otherwise when the rename fails.
    bool MoveToNew(const std::string& fileName, bool& exists);

private:
    void CloseDescriptor();

    std::string name_;
    int fd_ = -1;
};

// Flushes a file's contents, or a folder's entries, to the device; false (logged) when that fails.
bool SyncToDevice(const std::string& path);

// Removes every entry of a folder kept for staged files (made with the folder and "/" as prefix
// and with `suffix`) except those of processes still running (the PID, start time and boot in
// the name all match a live process): what a crashed process left behind, whatever process holds
// its PID now, and anything else that does not belong there.
void RemoveStaleStagedFiles(const std::string& folder, const std::string& suffix);

// The paths of the folder's entries ending in `suffix` that a process no longer running left
// behind (see RemoveStaleStagedFiles), for a caller that reads them before they are removed.
std::vector<std::string> StaleStagedFiles(const std::string& folder, const std::string& suffix);

}  // namespace pella
