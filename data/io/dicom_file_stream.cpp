#include "data/io/dicom_file_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "data/io/dataset_writer.h"
#include "log/protocol_log.h"

namespace pella {

DicomFileStream::DicomFileStream(const std::string& fileName, MetaMaker makeMeta, ByteVector& buffer,
                                 std::size_t bufferSize)
    : fileName_(fileName),
      makeMeta_(std::move(makeMeta)),
      buffer_(buffer),
      bufferSize_(std::max<std::size_t>(bufferSize, 1)) {
    buffer_.clear();
    fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) Fail(std::string("cannot open it: ") + std::strerror(errno));
}

DicomFileStream::~DicomFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool DicomFileStream::Fail(const std::string& why) {
    if (!failed_) WriteLogLine("Writing " + fileName_ + " failed: " + why);
    failed_ = true;
    buffer_.clear();
    return false;
}

bool DicomFileStream::Append(const uint8_t* bytes, std::size_t size) {
    while (size > 0 && !failed_) {
        if (buffer_.capacity() < bufferSize_) buffer_.reserve(bufferSize_);
        std::size_t n = std::min(size, bufferSize_ - buffer_.size());
        buffer_.insert(buffer_.end(), bytes, bytes + n);
        bytes += n;
        size -= n;
        if (buffer_.size() == bufferSize_ && !WriteBuffer()) return false;
    }
    return !failed_;
}

bool DicomFileStream::Finish() {
    if (!failed_) WriteBuffer();
    if (fd_ >= 0 && ::close(fd_) != 0) Fail(std::string("cannot close it: ") + std::strerror(errno));
    fd_ = -1;
    return !failed_;
}

bool DicomFileStream::WriteMeta() {
    ElementList meta;
    makeMeta_(meta);
    ByteVector head(132, 0);
    std::memcpy(head.data() + 128, "DICM", 4);
    std::vector<uint8_t> group = SerializeList(meta, true, false);
    head.insert(head.end(), group.begin(), group.end());
    metaWritten_ = true;
    return WriteAll(head.data(), head.size());
}

bool DicomFileStream::WriteBuffer() {
    if (failed_) return false;
    if (!metaWritten_ && !WriteMeta()) return false;
    bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool DicomFileStream::WriteAll(const uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? std::strerror(errno) : "nothing written");
        bytes += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace pella
