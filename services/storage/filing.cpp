#include "services/storage/filing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "data/io/staged_file.h"
#include "log/protocol_log.h"
#include "services/index/archive_index.h"
#include "services/storage/filing_journal.h"
#include "services/storage/filing_lock.h"
#include "services/storage/flush_batches.h"
#include "services/storage/index_appender.h"
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
    // Made by this call only when its own mkdir made it: a server of another process on the
    // same storage folder may make it at the same moment, and one line is due, not two.
    created = fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        WriteLogLine("Filing: cannot create the folder " + folder);
        created = false;
        return false;
    }
    return true;
}

// The objects filed while others waited for the filing lock: their archive rows share one open
// transaction, committed by the last of them (or once the batch is full), and each is
// acknowledged only after that commit. One commit for many objects, with the lock held for it
// once, is what keeps the index from slowing stores that arrive together.
struct RowBatch {
    static constexpr std::size_t kMaxMembers = 64;

    struct Member {
        std::string fileName;
        std::string imageIndex;
        std::string imageLine;
        bool newFile = false;  // filed new (taken back when the commit fails), not a replaced copy
    };
    std::vector<Member> members;
    bool done = false;
    bool committed = false;
};

// What filing keeps from one object to the next, under the filing lock: the folders known to
// exist with their index lines written (not looked at again), the index files held open and the
// journal of each storage folder. Forgotten after any failure, so that a folder, index or journal
// removed or moved meanwhile is seen again.
struct FilingMemory {
    static constexpr std::size_t kMaxKnownFolders = 4096;

    std::set<std::string> knownFolders;
    IndexAppender indexes;
    std::map<std::string, std::unique_ptr<FilingJournal>> journals;  // by storage folder
    // The archive index's writing connection, by storage folder: only filing writes rows, under
    // its lock, while queries read through connections of their own.
    std::map<std::string, std::unique_ptr<ArchiveIndex>> archives;
    // The objects whose rows wait in each connection's open transaction.
    std::map<std::string, std::shared_ptr<RowBatch>> batches;

    bool Knows(const std::string& folder) const { return knownFolders.count(folder) != 0; }
    void Learn(const std::string& folder) {
        if (knownFolders.size() >= kMaxKnownFolders) knownFolders.clear();
        knownFolders.insert(folder);
    }
    void Forget() {
        knownFolders.clear();
        indexes.CloseAll();
        // A journal that holds the entries of a batch stays until the batch is committed.
        std::erase_if(journals, [this](const auto& journal) { return batches.count(journal.first) == 0; });
    }
};

// Never destroyed: a server thread may still file while the process exits.
FilingMemory& Memory() {
    static auto* memory = new FilingMemory;
    return *memory;
}

// Makes the folder if missing; a new folder gets its line in the index file of its parent.
// When that line cannot be written the new (still empty) folder is removed again, so that the
// next object of the study or series tries again instead of leaving the index without its line.
// The journal covers the moment between the folder and its line. `created` tells whether this
// call made the folder.
bool AddFolderWithLine(FilingJournal& journal, IndexKind kind, const std::string& key,
                       const std::string& folder, const std::string& indexFile, const std::string& line,
                       bool& created) {
    created = false;
    FilingMemory& memory = Memory();
    if (memory.Knows(folder)) return true;
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        memory.Learn(folder);
        return true;
    }
    if (!journal.Begin(kind, folder, indexFile, key)) {
        WriteLogLine("Filing: cannot record the making of " + folder);
        return false;
    }
    // Opened for this line alone: study and series lines are rare, and an index above a folder
    // that is new may itself be new (its folder moved away and made again).
    bool ok = EnsureFolder(folder, created) && (!created || AppendIndexLine(indexFile, line));
    if (!ok && created) fs::remove(folder, ec);
    journal.End();
    if (ok) memory.Learn(folder);
    return ok;
}

// A folder of received files, made when missing; known afterwards like the index folders.
bool EnsureKnownFolder(const std::string& folder) {
    FilingMemory& memory = Memory();
    if (memory.Knows(folder)) return true;
    bool created = false;
    if (!EnsureFolder(folder, created)) return false;
    memory.Learn(folder);
    return true;
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
    if (Memory().Knows(folders.series) && Memory().Knows(folders.study)) return true;
    return AddFolderWithLine(journal, IndexKind::Study, uids.study, folders.study,
                             JoinPath(databaseRoot, kStudyIndexName),
                             StudyIndexLine(dataSet, TodayAsShortDate()), folders.createdStudy) &&
           AddFolderWithLine(journal, IndexKind::Series, uids.series, folders.series,
                             JoinPath(folders.study, kSeriesIndexName), SeriesIndexLine(dataSet),
                             folders.createdSeries);
}

// What filing one object changed after its file (flushed before the rename): the folder that
// received it, the index files it appended to and the folders that hold new entries.
std::vector<std::string> ChangedPaths(const std::string& databaseRoot, const std::string& fileName,
                                      const IndexedFolders& folders) {
    std::vector<std::string> paths{fs::path(fileName).parent_path().string(),
                                   JoinPath(folders.series, kImageIndexName)};
    if (folders.createdSeries) {
        paths.push_back(JoinPath(folders.study, kSeriesIndexName));
        paths.push_back(folders.study);
    }
    if (folders.createdStudy) {
        paths.push_back(JoinPath(databaseRoot, kStudyIndexName));
        paths.push_back(databaseRoot);
    }
    return paths;
}

// The flushes of every server of the process, batched across their associations.
FlushBatches& DeviceFlushes() {
    static auto* batches = new FlushBatches(SyncToDevice);
    return *batches;
}

// This process's journal for a storage folder, made on first use. Call with the filing lock held.
FilingJournal& JournalFor(const std::string& storageFolder) {
    auto& journal = Memory().journals[storageFolder];
    if (!journal || !journal->Valid())
        journal = std::make_unique<FilingJournal>(IncomingFolder(storageFolder));
    return *journal;
}

// The writing connection to the archive index of a storage folder, opened on first use; null
// (logged) when it cannot be. Call with the filing lock held.
ArchiveIndex* ArchiveFor(const std::string& storageFolder) {
    auto& archive = Memory().archives[storageFolder];
    if (archive) return archive.get();
    std::string reason;
    archive = OpenArchiveIndex(storageFolder, reason);
    if (!archive) WriteLogLine("Filing: " + reason);
    return archive.get();
}

// Takes back a new object whose rows cannot be kept: its file and image line go, so that
// neither index lists it and its sender, told, sends it again.
void TakeBackObject(const RowBatch::Member& member) {
    if (!member.newFile) return;
    RemoveQuietly(member.fileName);
    TakeBackLastLine(member.imageIndex, member.imageLine);
}

// Commits the rows of a storage folder's batch and wakes its objects; when the commit fails (a
// full disk), the batch's new objects are taken back, the latest first (each then the last line
// of its index). Call with the filing lock held.
void CommitBatch(FilingSection& section, const std::string& storageFolder) {
    FilingMemory& memory = Memory();
    auto found = memory.batches.find(storageFolder);
    if (found == memory.batches.end()) return;
    std::shared_ptr<RowBatch> batch = std::move(found->second);
    memory.batches.erase(found);
    ArchiveIndex* archive = memory.archives[storageFolder].get();
    batch->committed = archive != nullptr && archive->Commit();
    if (!batch->committed) {
        WriteLogLine("Filing: cannot commit " + std::to_string(batch->members.size()) +
                     " objects to the archive index");
        for (auto member = batch->members.rbegin(); member != batch->members.rend(); ++member)
            TakeBackObject(*member);
        memory.archives.erase(storageFolder);
    }
    if (memory.journals.count(storageFolder)) JournalFor(storageFolder).Release();
    batch->done = true;
    section.WakeAll();
}

// Commits the open batches unless another thread waits for the lock (it will file its object
// into them and decide in turn); a full batch is committed at once. Every filing section ends
// with this, so that a batch is never left open with nobody to commit it.
void CommitBatchesWhenIdle(FilingSection& section) {
    std::vector<std::string> due;
    for (const auto& [storageFolder, batch] : Memory().batches) {
        const ArchiveIndex* archive = Memory().archives[storageFolder].get();
        if (!section.OthersWaiting() || batch->members.size() >= RowBatch::kMaxMembers || !archive ||
            !archive->GroupsCommits())
            due.push_back(storageFolder);
    }
    for (const std::string& storageFolder : due) CommitBatch(section, storageFolder);
}

// The open batch of a storage folder's archive rows, its transaction begun when none is open;
// null (logged) when the index cannot be written. Call with the filing lock held.
std::shared_ptr<RowBatch> OpenBatch(FilingSection& section, const std::string& storageFolder,
                                    ArchiveIndex*& archive) {
    FilingMemory& memory = Memory();
    archive = ArchiveFor(storageFolder);
    auto open = memory.batches.find(storageFolder);
    if (open != memory.batches.end()) {
        if (archive && archive->InTransaction()) return open->second;
        // The database ended the transaction on its own (an I/O error): the batch's rows are lost.
        CommitBatch(section, storageFolder);
        archive = ArchiveFor(storageFolder);
    }
    if (archive && archive->Begin()) return memory.batches[storageFolder] = std::make_shared<RowBatch>();
    memory.archives.erase(storageFolder);
    WriteLogLine("Filing: cannot write to the archive index of " + storageFolder);
    return nullptr;
}

// Records a filed object's rows in the open batch; when they cannot be recorded, a new object is
// taken back (IndexNotWritten) and a replaced copy is reported so that it is sent again.
void JoinBatch(ArchiveIndex& archive, RowBatch& batch, FilingOutcome& outcome, const ObjectUids& uids,
               const ElementList& dataSet, const std::string& transferSyntax, const IndexedFolders& folders,
               FilingJournal& journal) {
    const std::string path = uids.study + "/" + uids.series + "/" + uids.sopInstance + ".dcm";
    RowBatch::Member member{outcome.fileName, JoinPath(folders.series, kImageIndexName),
                            ImageIndexLine(dataSet), outcome.index == FilingResult::Indexed};
    if (!archive.Record(IndexedInstanceOf(dataSet, transferSyntax, path))) {
        WriteLogLine("Filing: cannot record " + path + " in the archive index");
        TakeBackObject(member);
        journal.End();
        outcome.index = FilingResult::IndexNotWritten;
        return;
    }
    // A new object's journal entry stays until the commit: a crash before it leaves a listed file
    // whose rows are recorded again at the next start.
    if (member.newFile) journal.Hold();
    batch.members.push_back(std::move(member));
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

// Moves the staged file into place: a new object with its image line appended, the journal
// covering the moment between the two; an object received before replacing its file and line.
// Nothing stays behind when either fails.
FilingResult MoveObject(FilingJournal& journal, StagedFile& staged, const std::string& fileName,
                        const std::string& imageIndex, const ObjectUids& uids, const ElementList& dataSet) {
    if (!journal.Begin(IndexKind::Image, fileName, imageIndex, uids.sopInstance)) {
        WriteLogLine("Filing: cannot record the filing of " + fileName);
        return FilingResult::FileNotWritten;
    }
    bool exists = false;
    FilingResult result = FilingResult::Indexed;
    if (staged.MoveToNew(fileName, exists)) {
        if (!Memory().indexes.Append(imageIndex, ImageIndexLine(dataSet))) {
            // Not listed, so not kept: the sender is told and sends it again.
            RemoveQuietly(fileName);
            result = FilingResult::IndexNotWritten;
        }
        // A listed object's step ends once its archive rows are committed (FileStagedObject).
        if (result != FilingResult::Indexed) journal.End();
        return result;
    }
    journal.End();
    if (exists) return ReplaceObject(staged, fileName, imageIndex, dataSet);
    WriteLogLine("Filing: cannot move the received object to " + fileName);
    return FilingResult::FileNotWritten;
}

// The filing steps under the lock (see the top of filing.h): folders with their lines, then the
// file and its line.
FilingResult FileUnderLock(const std::string& storageFolder, const std::string& databaseRoot,
                           const ObjectUids& uids, const ElementList& dataSet, StagedFile& staged,
                           const std::string& fileName, IndexedFolders& folders) {
    FilingJournal& journal = JournalFor(storageFolder);
    folders = IndexedFolders{};
    if (!AddStudyAndSeries(journal, databaseRoot, uids, dataSet, folders) ||
        !EnsureKnownFolder(*SeriesFolderPath(storageFolder, uids)))
        return FilingResult::IndexNotWritten;
    return MoveObject(journal, staged, fileName, JoinPath(folders.series, kImageIndexName), uids, dataSet);
}

}  // namespace

std::string IncomingFolder(const std::string& storageFolder) {
    return JoinPath(storageFolder, kIncomingFolderName);
}

StagedFile StageIncoming(const std::string& storageFolder) {
    const std::string incoming = IncomingFolder(storageFolder);
    StagedFile staged(incoming + "/", kStagedSuffix);
    if (staged.Valid() || errno != ENOENT) return staged;
    // The folder was removed while the server ran: made again, once.
    std::error_code ec;
    fs::create_directories(incoming, ec);
    return StagedFile(incoming + "/", kStagedSuffix);
}

bool PrepareStorageFolder(const std::string& storageFolder, std::string& reason,
                          std::vector<std::string>* recoveredFiles) {
    std::string incoming = IncomingFolder(storageFolder);
    std::error_code ec;
    fs::create_directories(incoming, ec);
    if (!fs::is_directory(incoming, ec)) {
        reason = "cannot create the folder " + incoming;
        return false;
    }
    std::vector<std::string> kept = RecoverInterruptedFiling(incoming);
    if (recoveredFiles) *recoveredFiles = std::move(kept);
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

    IndexedFolders folders;
    {
        FilingSection section;
        // Leaving the section commits what waits unless another object is about to join it.
        struct CommitOnLeaving {
            FilingSection& section;
            ~CommitOnLeaving() { CommitBatchesWhenIdle(section); }
        } commitOnLeaving{section};
        ArchiveIndex* archive = nullptr;
        std::shared_ptr<RowBatch> batch;
        if (options.archiveIndex && !(batch = OpenBatch(section, storageFolder, archive))) {
            outcome.index = FilingResult::IndexNotWritten;
            return outcome;
        }
        // Folders and index files remembered from earlier objects may have gone since: after a
        // failure, filing is tried once more with everything looked at afresh.
        const bool remembered = Memory().Knows(*SeriesFolderPath(storageFolder, uids));
        outcome.index = FileUnderLock(storageFolder, databaseRoot, uids, dataSet, staged, *fileName, folders);
        if (!outcome.Filed()) Memory().Forget();
        if (!outcome.Filed() && remembered && staged.Valid())
            outcome.index =
                FileUnderLock(storageFolder, databaseRoot, uids, dataSet, staged, *fileName, folders);
        if (batch && outcome.Filed())
            JoinBatch(*archive, *batch, outcome, uids, dataSet, options.transferSyntax, folders,
                      JournalFor(storageFolder));
        else if (Memory().journals.count(storageFolder))
            JournalFor(storageFolder).End();
        if (!outcome.Filed()) return outcome;
        if (batch) {
            CommitBatchesWhenIdle(section);
            section.Await([&batch] { return batch->done; });
            if (!batch->committed) outcome.index = FilingResult::IndexNotWritten;
            if (!outcome.Filed()) return outcome;
        }
    }
    std::vector<std::string> changed;
    if (options.sync) changed = ChangedPaths(databaseRoot, *fileName, folders);
    // The index's commits reach its write-ahead log without a flush of their own; the batch
    // flushes the log with the rest, so an acknowledged object's rows survive a power loss too.
    // (A PostgreSQL index makes its own commits durable and has no log file here.)
    if (options.sync && options.archiveIndex && ArchiveIndexLocation(storageFolder).empty())
        changed.push_back(IndexLogPath(storageFolder));
    if (options.sync && !DeviceFlushes().Flush(changed)) outcome.index = FilingResult::FileNotWritten;
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
    StagedFile staged = StageIncoming(storageFolder);
    if (staged.Valid() && !writeFile(staged.Name())) {
        WriteLogLine("Filing: cannot write " + *fileName);
        return FilingOutcome{FilingResult::FileNotWritten, *fileName};
    }
    return FileStagedObject(storageFolder, databaseRoot, dataSet, staged, options);
}

}  // namespace pella
