// An in-memory file with a path (a memfd reached through /proc/self/fd), so that readers which
// take a file name can be fed fuzz input without touching the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pella_fuzz {

class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the content; false when the file could not be made or written.
    bool Write(const uint8_t* data, std::size_t size);
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace pella_fuzz
