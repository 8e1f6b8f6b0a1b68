#include "services/storage/filing.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "log/protocol_log.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"
#include "services/storage/short_date_format.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

constexpr const char* kIncomingFolderName = ".incoming";

// Appends the whole line with one write call (repeated only if the system writes it in part).
bool AppendLine(const std::string& fileName, const std::string& line) {
    int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        WriteLogLine("Filing: cannot open " + fileName + " for appending");
        return false;
    }
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = ::close(fd) == 0 && done == line.size();
    if (!ok) WriteLogLine("Filing: cannot append to " + fileName);
    return ok;
}

// Creates a missing folder with its parents; false when it is missing and cannot be made.
// `created` tells whether this call made it, which decides whether its index line is due.
bool EnsureFolder(const std::string& folder, bool& created) {
    std::error_code ec;
    created = false;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        WriteLogLine("Filing: cannot create the folder " + folder);
        return false;
    }
    created = true;
    return true;
}

// Makes the folder if missing; a new folder gets its line in the index file of its parent.
// When that line cannot be written the new (still empty) folder is removed again, so that the
// next object of the study or series tries again instead of leaving the index without its line.
bool AddFolderWithLine(const std::string& folder, const std::string& indexFile,
                       const std::string& line) {
    bool created = false;
    if (!EnsureFolder(folder, created)) return false;
    if (!created || AppendLine(indexFile, line)) return true;
    std::error_code ignored;
    fs::remove(folder, ignored);
    return false;
}

void LogRefused() {
    WriteLogLine("Filing: object refused, no valid Study, Series and SOP Instance UID or no folder");
}

// Flushes a file or folder to the device; false (logged) when that fails.
bool SyncPath(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) WriteLogLine("Filing: cannot flush " + path + " to the device");
    return ok;
}

void RemoveQuietly(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// The index lines and folders an object adds; `created*` tell which folders it made.
struct IndexedFolders {
    std::string study;
    std::string series;
    bool createdStudy = false;
    bool createdSeries = false;
};

// Makes the study and series folders below the database root when missing, each with its line
// in the index above it. Call with the filing lock held.
bool AddStudyAndSeries(const std::string& databaseRoot, const ObjectUids& uids,
                       const ElementList& dataSet, IndexedFolders& folders) {
    folders.study = JoinPath(databaseRoot, uids.study);
    folders.series = JoinPath(folders.study, uids.series);
    folders.createdStudy = !fs::is_directory(folders.study);
    if (!AddFolderWithLine(folders.study, JoinPath(databaseRoot, kStudyIndexName),
                           StudyIndexLine(dataSet, TodayAsShortDate())))
        return false;
    folders.createdSeries = !fs::is_directory(folders.series);
    return AddFolderWithLine(folders.series, JoinPath(folders.study, kSeriesIndexName),
                             SeriesIndexLine(dataSet));
}

// Flushes what filing one object changed after its file (flushed before the rename): the folder
// that received it, the index files it appended to and the folders that hold new entries.
bool SyncFiled(const std::string& databaseRoot, const std::string& fileName,
               const IndexedFolders& folders) {
    bool ok = SyncPath(fs::path(fileName).parent_path().string()) &&
              SyncPath(JoinPath(folders.series, kImageIndexName));
    if (ok && folders.createdSeries)
        ok = SyncPath(JoinPath(folders.study, kSeriesIndexName)) && SyncPath(folders.study);
    if (ok && folders.createdStudy)
        ok = SyncPath(JoinPath(databaseRoot, kStudyIndexName)) && SyncPath(databaseRoot);
    return ok;
}

// Held only while folders, index lines and the final name change, never while a file is written.
std::mutex filingMutex;

std::unique_lock<std::mutex> FilingLock() { return std::unique_lock<std::mutex>(filingMutex); }

// A temporary name in the incoming folder, unique within the process and across processes.
std::string TemporaryName(const std::string& storageFolder) {
    static std::atomic<uint64_t> counter{0};
    return JoinPath(IncomingFolder(storageFolder),
                    std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".part");
}

// True when the temporary file's name says it belongs to a process that no longer runs (or
// it is not one of ours at all).
bool IsStaleTemporary(const std::string& name) {
    std::size_t dash = name.find('-');
    if (dash == std::string::npos || dash == 0 || name.size() < 5 ||
        name.compare(name.size() - 5, 5, ".part") != 0)
        return true;
    errno = 0;
    long pid = std::strtol(name.c_str(), nullptr, 10);
    if (pid <= 0) return true;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string IncomingFolder(const std::string& storageFolder) {
    return JoinPath(storageFolder, kIncomingFolderName);
}

bool PrepareStorageFolder(const std::string& storageFolder, std::string& reason) {
    std::string incoming = IncomingFolder(storageFolder);
    std::error_code ec;
    fs::create_directories(incoming, ec);
    if (!fs::is_directory(incoming, ec)) {
        reason = "cannot create the folder " + incoming;
        return false;
    }
    for (const auto& entry : fs::directory_iterator(incoming, ec))
        if (IsStaleTemporary(entry.path().filename().string())) RemoveQuietly(entry.path().string());
    std::string probe = TemporaryName(storageFolder);
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool writable = fd >= 0 && ::write(fd, "x", 1) == 1;
    if (fd >= 0) ::close(fd);
    RemoveQuietly(probe);
    if (!writable) {
        reason = "cannot write files in " + incoming + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool PrepareDatabaseRoot(const std::string& databaseRoot, std::string& reason) {
    std::error_code ec;
    fs::create_directories(databaseRoot, ec);
    if (!fs::is_directory(databaseRoot, ec) || ::access(databaseRoot.c_str(), W_OK | X_OK) != 0) {
        reason = "cannot write in the folder " + databaseRoot;
        return false;
    }
    return true;
}

FilingResult IndexReceivedObject(const std::string& fileName, const std::string& databaseRoot,
                                 const ElementList& dataSet) {
    ObjectUids uids = ReadObjectUids(dataSet);
    if (!SeriesFolderPath(databaseRoot, uids)) {
        LogRefused();
        return FilingResult::Refused;
    }
    auto lock = FilingLock();
    std::error_code ec;
    if (fs::exists(fileName, ec)) return FilingResult::AlreadyReceived;
    IndexedFolders folders;
    if (!AddStudyAndSeries(databaseRoot, uids, dataSet, folders) ||
        !AppendLine(JoinPath(folders.series, kImageIndexName), ImageIndexLine(dataSet)))
        return FilingResult::IndexNotWritten;
    return FilingResult::Indexed;
}

FilingOutcome FileReceivedObject(const std::string& storageFolder, const std::string& databaseRoot,
                                 const ElementList& dataSet, const ObjectFileWriter& writeFile,
                                 const FilingOptions& options) {
    FilingOutcome outcome;
    ObjectUids uids = ReadObjectUids(dataSet);
    std::optional<std::string> fileName = ReceivedObjectPath(storageFolder, uids);
    if (!fileName || databaseRoot.empty()) {
        LogRefused();
        return outcome;
    }
    outcome.fileName = *fileName;
    outcome.index = FilingResult::FileNotWritten;

    // The object is written whole, with no lock held, before anything else is touched.
    std::error_code ec;
    fs::create_directories(IncomingFolder(storageFolder), ec);
    std::string temporary = TemporaryName(storageFolder);
    if (!writeFile(temporary) || (options.sync && !SyncPath(temporary))) {
        WriteLogLine("Filing: cannot write " + *fileName);
        RemoveQuietly(temporary);
        return outcome;
    }

    IndexedFolders folders;
    {
        auto lock = FilingLock();
        bool madeFolder = false;
        if (!AddStudyAndSeries(databaseRoot, uids, dataSet, folders) ||
            !EnsureFolder(*SeriesFolderPath(storageFolder, uids), madeFolder)) {
            RemoveQuietly(temporary);
            outcome.index = FilingResult::IndexNotWritten;
            return outcome;
        }
        bool existed = fs::exists(*fileName, ec);
        if (::rename(temporary.c_str(), fileName->c_str()) != 0) {
            WriteLogLine("Filing: cannot move the received object to " + *fileName);
            RemoveQuietly(temporary);
            return outcome;
        }
        if (existed) {
            outcome.index = FilingResult::AlreadyReceived;
        } else if (AppendLine(JoinPath(folders.series, kImageIndexName), ImageIndexLine(dataSet))) {
            outcome.index = FilingResult::Indexed;
        } else {
            // Not listed, so not kept: the sender is told and sends it again.
            RemoveQuietly(*fileName);
            outcome.index = FilingResult::IndexNotWritten;
            return outcome;
        }
    }
    if (options.sync && !SyncFiled(databaseRoot, *fileName, folders))
        outcome.index = FilingResult::FileNotWritten;
    return outcome;
}

}  // namespace pella
