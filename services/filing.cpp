#include "services/filing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "log/protocol_log.h"
#include "services/index_lines.h"
#include "services/object_paths.h"
#include "services/short_date_format.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

std::recursive_mutex filingMutex;

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

}  // namespace

std::unique_lock<std::recursive_mutex> FilingLock() {
    return std::unique_lock<std::recursive_mutex>(filingMutex);
}

FilingResult IndexReceivedObject(const std::string& fileName, const std::string& databaseRoot,
                                 const ElementList& dataSet) {
    ObjectUids uids = ReadObjectUids(dataSet);
    std::optional<std::string> seriesFolder = SeriesFolderPath(databaseRoot, uids);
    if (!seriesFolder) {
        LogRefused();
        return FilingResult::Refused;
    }
    auto lock = FilingLock();
    std::error_code ec;
    if (fs::exists(fileName, ec)) return FilingResult::AlreadyReceived;

    std::string studyFolder = JoinPath(databaseRoot, uids.study);
    if (!AddFolderWithLine(studyFolder, JoinPath(databaseRoot, kStudyIndexName),
                           StudyIndexLine(dataSet, TodayAsShortDate())))
        return FilingResult::IndexNotWritten;
    if (!AddFolderWithLine(*seriesFolder, JoinPath(studyFolder, kSeriesIndexName),
                           SeriesIndexLine(dataSet)))
        return FilingResult::IndexNotWritten;
    if (!AppendLine(JoinPath(*seriesFolder, kImageIndexName), ImageIndexLine(dataSet)))
        return FilingResult::IndexNotWritten;
    return FilingResult::Indexed;
}

FilingOutcome FileReceivedObject(const std::string& storageFolder, const std::string& databaseRoot,
                                 const ElementList& dataSet, const ObjectFileWriter& writeFile) {
    FilingOutcome outcome;
    ObjectUids uids = ReadObjectUids(dataSet);
    std::optional<std::string> fileName = ReceivedObjectPath(storageFolder, uids);
    if (!fileName) {
        LogRefused();
        return outcome;
    }
    auto lock = FilingLock();
    outcome.index = IndexReceivedObject(*fileName, databaseRoot, dataSet);
    if (outcome.index == FilingResult::Refused) return outcome;
    outcome.fileName = *fileName;
    bool created = false;
    if (!EnsureFolder(*SeriesFolderPath(storageFolder, uids), created)) return outcome;
    outcome.written = writeFile(*fileName);
    if (!outcome.written) WriteLogLine("Filing: cannot write " + *fileName);
    return outcome;
}

}  // namespace pella
