#include "services/storage/index_file_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "log/protocol_log.h"

namespace pella {

namespace {

bool SetLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;  // the whole file, also past its end
    while (::fcntl(fd, F_OFD_SETLKW, &lock) != 0)
        if (errno != EINTR) return false;
    return true;
}

}  // namespace

bool LockIndexFile(int fd) {
    return SetLock(fd, F_WRLCK);
}

void UnlockIndexFile(int fd) {
    SetLock(fd, F_UNLCK);
}

bool NamesOpenFile(const std::string& path, int fd) {
    struct stat named {};
    struct stat open {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

IndexFileLock::IndexFileLock(const std::string& indexFile) {
    for (int attempt = 0; attempt < kIndexLockAttempts; ++attempt) {
        int fd = ::open(indexFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) break;
        if (LockIndexFile(fd) && NamesOpenFile(indexFile, fd)) {
            fd_ = fd;
            return;
        }
        ::close(fd);  // replaced while waiting: the new file is locked next
    }
    WriteLogLine("Filing: cannot lock " + indexFile);
}

IndexFileLock::~IndexFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the description releases its lock
}

}  // namespace pella
