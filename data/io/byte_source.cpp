#include "data/io/byte_source.h"

#include <sys/stat.h>

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

namespace {

// Size of an open regular file, or -1 for anything else (folders, devices, pipes).
int64_t RegularFileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
}

}  // namespace

FileSource::FileSource(const std::string& fileName) : file_(std::fopen(fileName.c_str(), "rb")) {
    if (!file_) return;
    int64_t size = RegularFileSize(file_.get());
    if (size < 0) {
        file_.reset();
        return;
    }
    size_ = static_cast<uint64_t>(size);
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
