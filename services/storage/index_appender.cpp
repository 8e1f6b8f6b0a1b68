#include "services/storage/index_appender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "log/protocol_log.h"
#include "services/storage/index_file_lock.h"

namespace pella {

namespace {

int OpenForAppending(const std::string& indexFile) {
    return ::open(indexFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

// True while the open file still has a name: one removed, or replaced by a rename, has none.
bool StillNamed(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

// One write call (repeated only if the system writes the line in part).
bool WriteWhole(int fd, const std::string& line) {
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

IndexAppender::~IndexAppender() {
    CloseAll();
}

void IndexAppender::CloseAll() {
    for (const auto& [name, fd] : files_) ::close(fd);
    files_.clear();
}

void IndexAppender::Close(const std::string& indexFile) {
    auto it = files_.find(indexFile);
    if (it == files_.end()) return;
    ::close(it->second);
    files_.erase(it);
}

int IndexAppender::Descriptor(const std::string& indexFile) {
    auto it = files_.find(indexFile);
    if (it != files_.end() && StillNamed(it->second)) return it->second;
    Close(indexFile);
    if (files_.size() >= kMaxOpenFiles) CloseAll();
    int fd = OpenForAppending(indexFile);
    if (fd >= 0) files_.emplace(indexFile, fd);
    return fd;
}

bool IndexAppender::Append(const std::string& indexFile, const std::string& line) {
    // Under the file's lock, and only to the file its name carries: a server of another process
    // may have rewritten it (renamed a new one over it) meanwhile.
    for (int attempt = 0; attempt < kIndexLockAttempts; ++attempt) {
        int fd = Descriptor(indexFile);
        if (fd < 0) {
            WriteLogLine("Filing: cannot open " + indexFile + " for appending");
            return false;
        }
        if (!LockIndexFile(fd)) break;
        if (!NamesOpenFile(indexFile, fd)) {
            UnlockIndexFile(fd);
            Close(indexFile);
            continue;
        }
        bool written = WriteWhole(fd, line);
        UnlockIndexFile(fd);
        if (written) return true;
        break;
    }
    Close(indexFile);  // opened afresh by the next line
    WriteLogLine("Filing: cannot append to " + indexFile);
    return false;
}

}  // namespace pella
