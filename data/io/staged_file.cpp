#include "data/io/staged_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "log/protocol_log.h"

namespace pella {

namespace {

// Attempts at a free name before giving up (another process may hold names of an earlier run
// of a process with the same ID).
constexpr int kNameAttempts = 100;

// The first line of a small /proc file; empty when it cannot be read.
std::string FirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "<pid>-<start>-<boot>": a process's PID, its start time in clock ticks since boot and the start
// of the boot's ID. No two processes share it, a later one with a reused PID included, so a name
// carrying it belongs to that process alone. Empty when the process does not run.
std::string ProcessIdentity(long pid) {
    std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return "";
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i)  // fields from the third on; the 22nd is the start time
        if (!(fields >> field)) return "";
    if (field.find_first_not_of("0123456789") != std::string::npos) return "";
    std::string boot = FirstLine("/proc/sys/kernel/random/boot_id").substr(0, 8);
    return std::to_string(pid) + "-" + field + "-" + boot;
}

// This process's identity, read once (a process's PID, start time and boot never change) and
// read again in a forked child, so that the child names its files as itself.
std::mutex identityMutex;
std::string ownIdentity;

void ForgetOwnIdentity() {
    ownIdentity.clear();  // the child runs one thread here: no lock is needed
}

// This machine's name as a name part: "@" and the host name with anything but letters, digits,
// '.', '-' and '_' replaced. Servers on several machines may share one storage folder; a file
// named on another machine says so, and only that machine can tell whether its process runs.
const std::string& HostTag() {
    static const std::string tag = [] {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0) return std::string();
        std::string text = std::string("@").append(host).substr(0, 65);
        for (std::size_t i = 1; i < text.size(); ++i)
            if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '.' && text[i] != '-' &&
                text[i] != '_')
                text[i] = '_';
        return text.size() > 1 ? text : std::string();
    }();
    return tag;
}

std::string OwnIdentity() {
    static const bool forkHandled = ::pthread_atfork(nullptr, nullptr, ForgetOwnIdentity) == 0;
    std::lock_guard<std::mutex> lock(identityMutex);
    if (ownIdentity.empty() || !forkHandled) {
        std::string own = ProcessIdentity(::getpid());
        ownIdentity = (own.empty() ? std::to_string(::getpid()) + "-0-" : own) + HostTag();
    }
    return ownIdentity;
}

std::string NextName(const std::string& prefix, const std::string& suffix) {
    static std::atomic<uint64_t> counter{0};
    return prefix + OwnIdentity() + "-" + std::to_string(++counter) + suffix;
}

// True for a name "<identity>-<n><suffix>" whose identity is that of the process now running
// under its PID: this process's own files, or another live server's. A leftover whose PID was
// taken by another process since does not match and goes.
bool StagedByRunningProcess(const std::string& name, const std::string& suffix) {
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::size_t last = name.rfind('-', name.size() - suffix.size());
    if (last == std::string::npos || last == 0) return false;
    char* end = nullptr;
    errno = 0;
    long pid = std::strtol(name.c_str(), &end, 10);
    if (end == name.c_str() || *end != '-' || pid <= 0 || errno != 0) return false;
    std::string identity = name.substr(0, last);
    if (identity == OwnIdentity()) return true;
    // A file named on another machine is left to that machine; one named without a host (an
    // earlier version) is taken as this machine's.
    std::size_t at = identity.find('@');
    if (at != std::string::npos) {
        if (identity.substr(at) != HostTag()) return true;
        identity.erase(at);
    }
    return identity == ProcessIdentity(pid);
}

}  // namespace

StagedFile::StagedFile(const std::string& prefix, const std::string& suffix, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = NextName(prefix, suffix);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            name_ = std::move(name);
            return;
        }
        if (errno != EEXIST) return;
    }
}

StagedFile::StagedFile(StagedFile&& other) noexcept : name_(std::move(other.name_)), fd_(other.fd_) {
    other.name_.clear();
    other.fd_ = -1;
}

StagedFile::~StagedFile() {
    CloseDescriptor();
    if (Valid()) std::remove(name_.c_str());
}

void StagedFile::CloseDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool StagedFile::Sync() const {
    bool ok = fd_ >= 0 && ::fdatasync(fd_) == 0;
    if (!ok) WriteLogLine("cannot flush " + name_ + " to the device");
    return ok;
}

bool StagedFile::MoveTo(const std::string& fileName) {
    if (!Valid() || std::rename(name_.c_str(), fileName.c_str()) != 0) return false;
    CloseDescriptor();
    name_.clear();
    return true;
}

bool StagedFile::MoveToNew(const std::string& fileName, bool& exists) {
    exists = false;
    if (!Valid()) return false;
    if (::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, fileName.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            exists = errno == EEXIST;
            return false;
        }
        // A file system without the exclusive rename: look, then rename.
        struct stat existing {};
        if (::lstat(fileName.c_str(), &existing) == 0) {
            exists = true;
            return false;
        }
        return MoveTo(fileName);
    }
    CloseDescriptor();
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

std::vector<std::string> StaleStagedFiles(const std::string& folder, const std::string& suffix) {
    namespace fs = std::filesystem;
    std::vector<std::string> stale;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (!StagedByRunningProcess(name, suffix)) stale.push_back(it->path().string());
    }
    return stale;
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
