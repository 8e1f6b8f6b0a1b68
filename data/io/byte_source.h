// Sequential byte sources the decoders read from: a memory buffer or a buffered file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "data/model/byte_vector.h"

namespace pella {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to n bytes into out; returns how many were available.
    virtual std::size_t Read(void* out, std::size_t n) = 0;
    // Copies up to n bytes without moving the position.
    virtual std::size_t Peek(void* out, std::size_t n) = 0;
    virtual uint64_t Position() const = 0;
    virtual uint64_t Size() const = 0;
    // Moves n bytes on without reading them; false when fewer remain.
    virtual bool Skip(uint64_t n) = 0;
    uint64_t Remaining() const { return Size() - Position(); }
};

// Reads from a byte range that outlives the source.
class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, std::size_t size, std::size_t position = 0);
    std::size_t Read(void* out, std::size_t n) override;
    std::size_t Peek(void* out, std::size_t n) override;
    uint64_t Position() const override { return position_; }
    uint64_t Size() const override { return size_; }
    bool Skip(uint64_t n) override;

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_;
};

// Reads a file through the C library's buffered I/O.
class FileSource final : public ByteSource {
public:
    // Opens the file; IsOpen() tells whether that worked.
    explicit FileSource(const std::string& fileName);
    bool IsOpen() const { return file_ != nullptr; }
    bool Seek(uint64_t position);
    std::size_t Read(void* out, std::size_t n) override;
    std::size_t Peek(void* out, std::size_t n) override;
    uint64_t Position() const override { return position_; }
    uint64_t Size() const override { return size_; }
    bool Skip(uint64_t n) override { return n <= Remaining() && Seek(position_ + n); }

private:
    struct Closer {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

// Loads a whole regular file; false when it cannot be opened or read.
bool LoadFile(const std::string& fileName, ByteVector& out);

}  // namespace pella
