// Appending lines to the index files while they stay open: a server files objects into the
// same few index files one after the other, and opening and closing one per line costs two
// system calls an object. Use from one thread at a time (filing holds its lock).
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace pella {

class IndexAppender {
public:
    // At most this many index files are held open; beyond it, all are closed and opened anew.
    static constexpr std::size_t kMaxOpenFiles = 32;

    IndexAppender() = default;
    ~IndexAppender();
    IndexAppender(const IndexAppender&) = delete;
    IndexAppender& operator=(const IndexAppender&) = delete;

    // Appends one whole line to the index file (made when missing) with one write call; false
    // (logged) when the file cannot be opened or the line not written whole. A file held open
    // that was removed or replaced since (by this process or another) is opened again first, so
    // the line goes to the file that carries the name.
    bool Append(const std::string& indexFile, const std::string& line);

    // Closes every file held open (after a failure, or when the files may have moved).
    void CloseAll();

    std::size_t OpenFiles() const { return files_.size(); }

private:
    int Descriptor(const std::string& indexFile);
    void Close(const std::string& indexFile);

    std::map<std::string, int> files_;
};

}  // namespace pella
