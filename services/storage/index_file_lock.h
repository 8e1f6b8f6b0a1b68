// Record locks on the index files: servers of several processes (or hosts sharing the storage
// folder over a network file system) change an index file one at a time. The lock is an fcntl
// write lock of the open file description (F_OFD_SETLKW), so that another descriptor of the same
// file opened and closed meanwhile (a read of its lines) does not drop it. A rewrite renames a
// new file over the old one while holding the old one's lock: whoever waited for it sees that
// the name now carries another file and locks that one.
#pragma once

#include <string>

namespace pella {

// A name replaced this often while waiting for its lock is given up on (a file rewritten
// without end): each replacement is another server's finished change, so a few are normal.
inline constexpr int kIndexLockAttempts = 8;

// Waits for the write lock of the whole file open as `fd` (open for writing); false on failure.
bool LockIndexFile(int fd);
void UnlockIndexFile(int fd);

// True when `path` names the file open as `fd` (not removed or replaced since).
bool NamesOpenFile(const std::string& path, int fd);

// Opens an index file for reading and writing (made when missing) and holds its lock until
// destroyed, the lock being on the file the name carries once taken.
class IndexFileLock {
public:
    explicit IndexFileLock(const std::string& indexFile);
    ~IndexFileLock();
    IndexFileLock(const IndexFileLock&) = delete;
    IndexFileLock& operator=(const IndexFileLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace pella
