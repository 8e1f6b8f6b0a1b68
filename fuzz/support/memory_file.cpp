#include "support/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

namespace pella_fuzz {

MemoryFile::MemoryFile() : fd_(::memfd_create("pella-fuzz", MFD_CLOEXEC)) {
    if (fd_ >= 0) path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool MemoryFile::Write(const uint8_t* data, std::size_t size) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
    std::size_t written = 0;
    while (written < size) {
        ssize_t n = ::pwrite(fd_, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pella_fuzz
