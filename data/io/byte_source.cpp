#include "data/io/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace pella {

MemorySource::MemorySource(const uint8_t* data, std::size_t size, std::size_t position)
    : data_(data), size_(size), position_(std::min(position, size)) {}

std::size_t MemorySource::Read(void* out, std::size_t n) {
    std::size_t count = std::min(n, size_ - position_);
    if (count > 0) std::memcpy(out, data_ + position_, count);
    position_ += count;
    return count;
}

std::size_t MemorySource::Peek(void* out, std::size_t n) {
    std::size_t count = std::min(n, size_ - position_);
    if (count > 0) std::memcpy(out, data_ + position_, count);
    return count;
}

bool MemorySource::Skip(uint64_t n) {
    if (n > size_ - position_) return false;
    position_ += static_cast<std::size_t>(n);
    return true;
}

// Opened without waiting, so that a pipe without a writer cannot block the open; anything but a
// regular file (folders, devices, pipes) is closed again at once.
FileSource::FileSource(const std::string& fileName) {
    int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return;
    }
    file_.reset(fdopen(fd, "rb"));
    if (!file_) {
        close(fd);
        return;
    }
    size_ = static_cast<uint64_t>(info.st_size);
}

bool FileSource::Seek(uint64_t position) {
    if (!file_ || position > size_) return false;
    if (fseeko(file_.get(), static_cast<off_t>(position), SEEK_SET) != 0) return false;
    position_ = position;
    return true;
}

std::size_t FileSource::Read(void* out, std::size_t n) {
    if (!file_) return 0;
    std::size_t count = std::fread(out, 1, n, file_.get());
    position_ += count;
    return count;
}

std::size_t FileSource::Peek(void* out, std::size_t n) {
    uint64_t start = position_;
    std::size_t count = Read(out, n);
    return Seek(start) ? count : 0;
}

bool LoadFile(const std::string& fileName, ByteVector& out) {
    FileSource source(fileName);
    if (!source.IsOpen()) return false;
    out.resize(static_cast<std::size_t>(source.Size()));
    return source.Read(out.data(), out.size()) == out.size();
}

}  // namespace pella
