#include "services/storage/filing_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr const char* kJournalSuffix = ".journal.part";

// Entry: kind letter, path, index file, key; each ended by a NUL (paths may hold any other byte).
std::string EntryText(IndexKind kind, const std::string& path, const std::string& indexFile,
                      const std::string& key) {
    const char letter = kind == IndexKind::Study ? 'S' : kind == IndexKind::Series ? 'R' : 'I';
    std::string text(1, letter);
    for (const std::string* field : {&path, &indexFile, &key}) {
        text += '\0';
        text += *field;
    }
    return text + '\0';
}

std::vector<std::string> SplitAtNul(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(text.substr(start, end - start));
    return fields;
}

// Removes what one dead process's journal names when its index line is missing.
void UndoEntry(const std::string& journal) {
    std::ifstream in(journal, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields = SplitAtNul(text);
    if (fields.size() != 4 || fields[0].size() != 1) return;  // empty: no step was under way
    const char letter = fields[0][0];
    IndexKind kind = letter == 'S' ? IndexKind::Study : letter == 'R' ? IndexKind::Series : IndexKind::Image;
    if (letter != 'S' && letter != 'R' && letter != 'I') return;
    if (IndexListsKey(fields[2], kind, fields[3])) return;
    std::error_code ec;
    if (!std::filesystem::exists(fields[1], ec)) return;
    // A folder goes only when empty: anything in it was filed with lines of its own.
    if (std::filesystem::remove(fields[1], ec))
        WriteLogLine("Filing: removed " + fields[1] + ", left without its index line by an interrupted run");
}

}  // namespace

FilingJournal::FilingJournal(const std::string& incomingFolder)
    : file_(incomingFolder + "/", kJournalSuffix, 0644) {
    if (file_.Valid()) fd_ = ::open(file_.Name().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) WriteLogLine("Filing: cannot make a journal in " + incomingFolder);
}

FilingJournal::~FilingJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool FilingJournal::Begin(IndexKind kind, const std::string& path, const std::string& indexFile,
                          const std::string& key) {
    if (fd_ < 0) return false;
    const std::string text = EntryText(kind, path, indexFile, key);
    if (::ftruncate(fd_, 0) != 0) return false;
    return ::pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void FilingJournal::End() {
    if (fd_ >= 0 && ::ftruncate(fd_, 0) != 0)
        WriteLogLine("Filing: cannot clear the journal " + file_.Name());
}

void RecoverInterruptedFiling(const std::string& incomingFolder) {
    for (const std::string& journal : StaleStagedFiles(incomingFolder, kJournalSuffix)) UndoEntry(journal);
}

}  // namespace pella
