// A Part 10 file written while its data set arrives. The data set's bytes gather in a buffer of
// fixed size (the caller's, so that one buffer serves many files), written out whenever it fills; preamble,
// "DICM" and meta group go in front, made when the first block is written (or at Finish) so that they can
// name what the data set's first elements said. Memory stays at the buffer's size, whatever the size of the
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "data/model/byte_vector.h"
#include "data/model/element_list.h"

namespace pella {

class DicomFileStream {
public:
    static constexpr std::size_t kDefaultBufferSize = 512 * 1024;

    // Fills the meta group (explicit VR little endian) when it is due.
    using MetaMaker = std::function<void(ElementList& meta)>;

    // Writes to `descriptor` (an empty file open for writing, named `fileName` in messages; it
    // stays open, the caller's), gathering in `buffer` (emptied; it must outlive the stream).
    DicomFileStream(int descriptor, const std::string& fileName, MetaMaker makeMeta, ByteVector& buffer,
                    std::size_t bufferSize = kDefaultBufferSize);
    ~DicomFileStream();
    DicomFileStream(const DicomFileStream&) = delete;
    DicomFileStream& operator=(const DicomFileStream&) = delete;

    // Adds data set bytes. False once anything could not be written (the reason logged);
    // later bytes are then dropped.
    bool Append(const uint8_t* bytes, std::size_t size);

    // Writes what is gathered (the meta group first if not yet written).
    bool Finish();

    bool Failed() const { return failed_; }
    // Bytes of the file written so far, preamble and meta group included.
    uint64_t BytesWritten() const { return written_; }

private:
    bool WriteBuffer();
    bool WriteAll(ByteVector* head, const uint8_t* bytes, std::size_t size);
    bool Fail(const std::string& why);

    std::string fileName_;
    MetaMaker makeMeta_;
    ByteVector& buffer_;
    std::size_t bufferSize_;
    int fd_ = -1;
    bool metaWritten_ = false;
    bool failed_ = false;
    uint64_t written_ = 0;
};

}  // namespace pella
