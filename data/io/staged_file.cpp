#include "data/io/staged_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "log/protocol_log.h"

namespace pella {

namespace {

// Attempts at a free name before giving up (another process may hold names of an earlier run
// of a process with the same ID).
constexpr int kNameAttempts = 100;

std::string NextName(const std::string& prefix, const std::string& suffix) {
    static std::atomic<uint64_t> counter{0};
    return prefix + std::to_string(::getpid()) + "-" + std::to_string(++counter) + suffix;
}

// True for a name "<pid>-<n><suffix>" whose process still runs.
bool StagedByRunningProcess(const std::string& name, const std::string& suffix) {
    std::size_t dash = name.find('-');
    if (dash == std::string::npos || dash == 0 || name.size() < dash + 1 + suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    char* end = nullptr;
    errno = 0;
    long pid = std::strtol(name.c_str(), &end, 10);
    if (end != name.c_str() + dash || pid <= 0 || errno != 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

StagedFile::StagedFile(const std::string& prefix, const std::string& suffix, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = NextName(prefix, suffix);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::close(fd);
            name_ = std::move(name);
            return;
        }
        if (errno != EEXIST) return;
    }
}

StagedFile::~StagedFile() {
    if (Valid()) std::remove(name_.c_str());
}

bool StagedFile::Sync() const {
    return SyncToDevice(name_);
}

bool StagedFile::MoveTo(const std::string& fileName) {
    if (!Valid() || std::rename(name_.c_str(), fileName.c_str()) != 0) return false;
    name_.clear();
    return true;
}

bool SyncToDevice(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) WriteLogLine("cannot flush " + path + " to the device");
    return ok;
}

void RemoveStaleStagedFiles(const std::string& folder, const std::string& suffix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (StagedByRunningProcess(it->path().filename().string(), suffix)) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

}  // namespace pella
