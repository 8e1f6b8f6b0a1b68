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

// Removes what one entry names when its index line is missing; an object file whose line is
// there is added to `kept` (its archive rows may not have been committed).
void UndoEntry(const std::vector<std::string>& fields, std::vector<std::string>& kept) {
    const char letter = fields[0][0];
    IndexKind kind = letter == 'S' ? IndexKind::Study : letter == 'R' ? IndexKind::Series : IndexKind::Image;
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

bool IsEntryLetter(const std::string& field) {
    return field.size() == 1 && (field[0] == 'S' || field[0] == 'R' || field[0] == 'I');
}

// Undoes every entry of one dead process's journal. Entries follow each other; an empty field
// where a letter is due ends them (what follows is the rest of older entries written over).
void UndoJournal(const std::string& journal, std::vector<std::string>& kept) {
    std::ifstream in(journal, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields = SplitAtNul(text);
    for (std::size_t at = 0; at + 4 <= fields.size() && IsEntryLetter(fields[at]); at += 4)
        UndoEntry({fields.begin() + static_cast<std::ptrdiff_t>(at),
                   fields.begin() + static_cast<std::ptrdiff_t>(at + 4)},
                  kept);
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
    // One write after the held entries, over the cleared entry before it, with the NUL that ends
    // the entries: the entry names its step whole or not at all.
    const std::string text = EntryText(kind, path, indexFile, key) + '\0';
    if (::pwrite(fd_, text.data(), text.size(), held_) != static_cast<ssize_t>(text.size())) return false;
    current_ = held_ + static_cast<off_t>(text.size()) - 1;
    return true;
}

void FilingJournal::End() {
    // The entry's first byte becomes NUL: cleared with one write, no truncation.
    current_ = held_;
    if (fd_ >= 0 && ::pwrite(fd_, "", 1, held_) != 1)
        WriteLogLine("Filing: cannot clear the journal " + file_.Name());
}

void FilingJournal::Hold() {
    if (current_ > held_) held_ = current_;
}

void FilingJournal::Release() {
    held_ = current_ = 0;
    End();
}

std::vector<std::string> RecoverInterruptedFiling(const std::string& incomingFolder) {
    std::vector<std::string> kept;
    for (const std::string& journal : StaleStagedFiles(incomingFolder, kJournalSuffix))
        UndoJournal(journal, kept);
    return kept;
}

}  // namespace pella
