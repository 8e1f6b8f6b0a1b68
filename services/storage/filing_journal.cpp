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

// Removes what one dead process's journal names when its index line is missing; an object file
// whose line is there is added to `kept` (its archive rows may not have been committed).
void UndoEntry(const std::string& journal, std::vector<std::string>& kept) {
    std::ifstream in(journal, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An entry is written over the one before: what follows its fourth NUL is the older entry's
    // rest. A first byte NUL clears it (no step was under way).
    std::vector<std::string> fields = SplitAtNul(text);
    if (fields.size() < 4 || fields[0].size() != 1) return;
    const char letter = fields[0][0];
    IndexKind kind = letter == 'S' ? IndexKind::Study : letter == 'R' ? IndexKind::Series : IndexKind::Image;
    if (letter != 'S' && letter != 'R' && letter != 'I') return;
    std::error_code ec;
    if (IndexListsKey(fields[2], kind, fields[3])) {
        if (kind == IndexKind::Image && std::filesystem::is_regular_file(fields[1], ec))
            kept.push_back(fields[1]);
        return;
    }
    if (!std::filesystem::exists(fields[1], ec)) return;
    // A folder goes only when empty: anything in it was filed with lines of its own.
    if (std::filesystem::remove(fields[1], ec))
        WriteLogLine("Filing: removed " + fields[1] + ", left without its index line by an interrupted run");
}

}  // namespace

FilingJournal::FilingJournal(const std::string& incomingFolder)
    : file_(incomingFolder + "/", kJournalSuffix, 0644), fd_(file_.Descriptor()) {
    if (fd_ < 0) WriteLogLine("Filing: cannot make a journal in " + incomingFolder);
}

FilingJournal::~FilingJournal() = default;

bool FilingJournal::Begin(IndexKind kind, const std::string& path, const std::string& indexFile,
                          const std::string& key) {
    if (fd_ < 0) return false;
    // One write, over the cleared entry before it: the entry names its step whole or not at all.
    const std::string text = EntryText(kind, path, indexFile, key);
    return ::pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void FilingJournal::End() {
    // The entry's first byte becomes NUL: cleared with one write, no truncation.
    if (fd_ >= 0 && ::pwrite(fd_, "", 1, 0) != 1)
        WriteLogLine("Filing: cannot clear the journal " + file_.Name());
}

std::vector<std::string> RecoverInterruptedFiling(const std::string& incomingFolder) {
    std::vector<std::string> kept;
    for (const std::string& journal : StaleStagedFiles(incomingFolder, kJournalSuffix))
        UndoEntry(journal, kept);
    return kept;
}

}  // namespace pella
