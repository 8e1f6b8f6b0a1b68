#include "services/storage/filing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "data/io/staged_file.h"
#include "log/protocol_log.h"
#include "services/storage/filing_journal.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"
#include "services/storage/short_date_format.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

constexpr const char* kIncomingFolderName = ".incoming";
constexpr const char* kStagedSuffix = ".part";

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
// The journal covers the moment between the folder and its line.
bool AddFolderWithLine(FilingJournal& journal, IndexKind kind, const std::string& key,
                       const std::string& folder, const std::string& indexFile, const std::string& line) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    if (!journal.Begin(kind, folder, indexFile, key)) {
        WriteLogLine("Filing: cannot record the making of " + folder);
        return false;
    }
    bool created = false;
    bool ok = EnsureFolder(folder, created) && (!created || AppendIndexLine(indexFile, line));
    if (!ok && created) fs::remove(folder, ec);
    journal.End();
    return ok;
}

void LogRefused() {
    WriteLogLine("Filing: object refused, no valid Study, Series and SOP Instance UID or no folder");
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
bool AddStudyAndSeries(FilingJournal& journal, const std::string& databaseRoot, const ObjectUids& uids,
                       const ElementList& dataSet, IndexedFolders& folders) {
    folders.study = JoinPath(databaseRoot, uids.study);
    folders.series = JoinPath(folders.study, uids.series);
    std::error_code ec;  // a folder that cannot even be looked at fails below, when it is made
    folders.createdStudy = !fs::is_directory(folders.study, ec);
    if (!AddFolderWithLine(journal, IndexKind::Study, uids.study, folders.study,
                           JoinPath(databaseRoot, kStudyIndexName),
                           StudyIndexLine(dataSet, TodayAsShortDate())))
        return false;
    folders.createdSeries = !fs::is_directory(folders.series, ec);
    return AddFolderWithLine(journal, IndexKind::Series, uids.series, folders.series,
                             JoinPath(folders.study, kSeriesIndexName), SeriesIndexLine(dataSet));
}

// Flushes what filing one object changed after its file (flushed before the rename): the folder
// that received it, the index files it appended to and the folders that hold new entries.
bool SyncFiled(const std::string& databaseRoot, const std::string& fileName, const IndexedFolders& folders) {
    bool ok = SyncToDevice(fs::path(fileName).parent_path().string()) &&
              SyncToDevice(JoinPath(folders.series, kImageIndexName));
    if (ok && folders.createdSeries)
        ok = SyncToDevice(JoinPath(folders.study, kSeriesIndexName)) && SyncToDevice(folders.study);
    if (ok && folders.createdStudy)
        ok = SyncToDevice(JoinPath(databaseRoot, kStudyIndexName)) && SyncToDevice(databaseRoot);
    return ok;
}

// Held only while folders, index lines and the final name change, never while a file is written.
std::mutex filingMutex;

std::unique_lock<std::mutex> FilingLock() {
    return std::unique_lock<std::mutex>(filingMutex);
}

// This process's journal for a storage folder, made on first use. Call with the filing lock held.
FilingJournal& JournalFor(const std::string& storageFolder) {
    static std::map<std::string, std::unique_ptr<FilingJournal>> journals;
    auto& journal = journals[storageFolder];
    if (!journal || !journal->Valid())
        journal = std::make_unique<FilingJournal>(IncomingFolder(storageFolder));
    return *journal;
}

// Moves the staged file of a new object into place and appends its image line, the journal
// covering the moment between the two. False when either fails; nothing stays behind then.
FilingResult MoveNewObject(FilingJournal& journal, StagedFile& staged, const std::string& fileName,
                           const std::string& imageIndex, const ObjectUids& uids,
                           const ElementList& dataSet) {
    if (!journal.Begin(IndexKind::Image, fileName, imageIndex, uids.sopInstance)) {
        WriteLogLine("Filing: cannot record the filing of " + fileName);
        return FilingResult::FileNotWritten;
    }
    FilingResult result = FilingResult::Indexed;
    if (!staged.MoveTo(fileName)) {
        WriteLogLine("Filing: cannot move the received object to " + fileName);
        result = FilingResult::FileNotWritten;
    } else if (!AppendIndexLine(imageIndex, ImageIndexLine(dataSet))) {
        // Not listed, so not kept: the sender is told and sends it again.
        RemoveQuietly(fileName);
        result = FilingResult::IndexNotWritten;
    }
    journal.End();
    return result;
}

// Replaces the file of an object received before and its image line with the new values.
FilingResult ReplaceObject(StagedFile& staged, const std::string& fileName, const std::string& imageIndex,
                           const ElementList& dataSet) {
    if (!staged.MoveTo(fileName)) {
        WriteLogLine("Filing: cannot move the received object to " + fileName);
        return FilingResult::FileNotWritten;
    }
    // The new file is in place and an image line names it; when the line cannot be renewed its
    // values are the old copy's, and the sender is told so that it sends it again.
    return ReplaceImageLine(imageIndex, ImageIndexLine(dataSet)) ? FilingResult::AlreadyReceived
                                                                 : FilingResult::IndexNotWritten;
}

}  // namespace

std::string IncomingFolder(const std::string& storageFolder) {
    return JoinPath(storageFolder, kIncomingFolderName);
}

StagedFile StageIncoming(const std::string& storageFolder) {
    return StagedFile(IncomingFolder(storageFolder) + "/", kStagedSuffix);
}

bool PrepareStorageFolder(const std::string& storageFolder, std::string& reason) {
    std::string incoming = IncomingFolder(storageFolder);
    std::error_code ec;
    fs::create_directories(incoming, ec);
    if (!fs::is_directory(incoming, ec)) {
        reason = "cannot create the folder " + incoming;
        return false;
    }
    RecoverInterruptedFiling(incoming);
    RemoveStaleStagedFiles(incoming, kStagedSuffix);
    StagedFile probe = StageIncoming(storageFolder);
    int fd = probe.Valid() ? ::open(probe.Name().c_str(), O_WRONLY | O_CLOEXEC) : -1;
    bool writable = fd >= 0 && ::write(fd, "x", 1) == 1;
    int error = errno;
    if (fd >= 0) ::close(fd);
    if (!writable) {
        reason = "cannot write files in " + incoming + ": " + std::strerror(error);
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

FilingOutcome FileStagedObject(const std::string& storageFolder, const std::string& databaseRoot,
                               const ElementList& dataSet, StagedFile& staged, const FilingOptions& options) {
    FilingOutcome outcome;
    ObjectUids uids = ReadObjectUids(dataSet);
    std::optional<std::string> fileName = ReceivedObjectPath(storageFolder, uids);
    if (!fileName || databaseRoot.empty()) {
        LogRefused();
        return outcome;
    }
    outcome.fileName = *fileName;
    outcome.index = FilingResult::FileNotWritten;
    if (!staged.Valid() || (options.sync && !staged.Sync())) {
        WriteLogLine("Filing: cannot write " + *fileName);
        return outcome;
    }

    std::error_code ec;
    IndexedFolders folders;
    {
        auto lock = FilingLock();
        FilingJournal& journal = JournalFor(storageFolder);
        bool madeFolder = false;
        if (!AddStudyAndSeries(journal, databaseRoot, uids, dataSet, folders) ||
            !EnsureFolder(*SeriesFolderPath(storageFolder, uids), madeFolder)) {
            outcome.index = FilingResult::IndexNotWritten;
            return outcome;
        }
        const std::string imageIndex = JoinPath(folders.series, kImageIndexName);
        outcome.index = fs::exists(*fileName, ec)
                            ? ReplaceObject(staged, *fileName, imageIndex, dataSet)
                            : MoveNewObject(journal, staged, *fileName, imageIndex, uids, dataSet);
        if (!outcome.Filed()) return outcome;
    }
    if (options.sync && !SyncFiled(databaseRoot, *fileName, folders))
        outcome.index = FilingResult::FileNotWritten;
    return outcome;
}

FilingOutcome FileReceivedObject(const std::string& storageFolder, const std::string& databaseRoot,
                                 const ElementList& dataSet, const ObjectFileWriter& writeFile,
                                 const FilingOptions& options) {
    // A refused object is not written at all.
    std::optional<std::string> fileName = ReceivedObjectPath(storageFolder, ReadObjectUids(dataSet));
    if (!fileName || databaseRoot.empty()) {
        LogRefused();
        return FilingOutcome{};
    }
    // The object is written whole, with no lock held, before anything else is touched. Every
    // return (or exception) before the rename removes the staged file.
    std::error_code ec;
    fs::create_directories(IncomingFolder(storageFolder), ec);
    StagedFile staged = StageIncoming(storageFolder);
    if (staged.Valid() && !writeFile(staged.Name())) {
        WriteLogLine("Filing: cannot write " + *fileName);
        return FilingOutcome{FilingResult::FileNotWritten, *fileName};
    }
    return FileStagedObject(storageFolder, databaseRoot, dataSet, staged, options);
}

}  // namespace pella
