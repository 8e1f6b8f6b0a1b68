#include "data/io/dicom_file_stream.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "data/io/dataset_writer.h"
#include "log/protocol_log.h"

namespace pella {

DicomFileStream::DicomFileStream(int descriptor, const std::string& fileName, MetaMaker makeMeta,
                                 ByteVector& buffer, std::size_t bufferSize)
    : fileName_(fileName),
      makeMeta_(std::move(makeMeta)),
      buffer_(buffer),
      bufferSize_(std::max<std::size_t>(bufferSize, 1)),
      fd_(descriptor) {
    buffer_.clear();
    if (fd_ < 0) Fail("it could not be made");
}

DicomFileStream::~DicomFileStream() = default;

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
    return !failed_;
}

// The first block goes out with the preamble, "DICM" and the meta group in front of it, in one
// gathered write: a small object costs a single write call.
bool DicomFileStream::WriteBuffer() {
    if (failed_) return false;
    ByteVector head;
    if (!metaWritten_) {
        ElementList meta;
        makeMeta_(meta);
        head.assign(132, 0);
        std::memcpy(head.data() + 128, "DICM", 4);
        std::vector<uint8_t> group = SerializeList(meta, true, false);
        head.insert(head.end(), group.begin(), group.end());
        metaWritten_ = true;
    }
    bool ok = WriteAll(head.empty() ? nullptr : &head, buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool DicomFileStream::WriteAll(ByteVector* head, const uint8_t* bytes, std::size_t size) {
    std::size_t headLeft = head != nullptr ? head->size() : 0;
    const uint8_t* headBytes = head != nullptr ? head->data() : nullptr;
    while (headLeft + size > 0) {
        iovec pieces[2];
        int count = 0;
        if (headLeft > 0) pieces[count++] = {const_cast<uint8_t*>(headBytes), headLeft};
        if (size > 0) pieces[count++] = {const_cast<uint8_t*>(bytes), size};
        ssize_t n = ::writev(fd_, pieces, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? std::strerror(errno) : "nothing written");
        written_ += static_cast<uint64_t>(n);
        auto done = static_cast<std::size_t>(n);
        std::size_t fromHead = std::min(done, headLeft);
        headBytes += fromHead;
        headLeft -= fromHead;
        bytes += done - fromHead;
        size -= done - fromHead;
    }
    return true;
}

}  // namespace pella
