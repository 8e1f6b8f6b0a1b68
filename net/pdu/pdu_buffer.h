// The byte pipe between the upper layer and one connection. Writes are gathered in blocks and
// sent at each Flush; reads pull what they need from the transport, each receive taking as much as
// the free room of the newest input block holds (a command and a small data set in one call), and
// a large read receives straight into its destination. Multi-byte values go in the buffer's byte order: 1 =
// little-endian, any other value = big-endian (PDUs travel big-endian; message staging uses little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "data/model/byte_vector.h"
#include "net/transport/transport.h"

namespace pella {

constexpr int kLittleEndian = 1;
constexpr int kBigEndian = 2;

class PduBuffer {
public:
    static constexpr std::size_t kBlockSize = 32600;
    // A read needing at least this many more bytes than are buffered receives into its destination.
    static constexpr std::size_t kDirectReadSize = 1024;
    static constexpr std::size_t kInputBlockSize = 16384;  // receives fill blocks of this size

    explicit PduBuffer(int timeoutSeconds = kDefaultReceiveTimeoutSeconds);
    PduBuffer(const PduBuffer&) = delete;
    PduBuffer& operator=(const PduBuffer&) = delete;

    void SetReadOrder(int order) { readOrder_ = order; }
    void SetWriteOrder(int order) { writeOrder_ = order; }
    int ReadOrder() const { return readOrder_; }
    int WriteOrder() const { return writeOrder_; }

    // Appends bytes to the output; nothing is sent before Flush. Always true.
    bool WriteBytes(const void* bytes, std::size_t count);
    void WriteU8(uint8_t value);
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);

    // Sends every output block, oldest first, in one gathered send. A failed send drops the
    // connection (part of the output may have left) and returns false.
    bool Flush();

    // Takes `count` bytes from the input, receiving more as needed. False, with nothing
    // consumed, when the transport cannot deliver them.
    bool ReadBytes(void* destination, std::size_t count);
    // Typed reads; on failure the value is 0 and the result false.
    bool ReadU8(uint8_t& value);
    bool ReadU16(uint16_t& value);
    bool ReadU32(uint32_t& value);
    // Reads and drops `count` bytes, a bounded piece at a time.
    bool Skip(std::size_t count);

    // Adds bytes to the input as if they had been received (message staging).
    void AppendInput(const uint8_t* bytes, std::size_t count);
    // Reads `count` bytes (receiving as needed) and appends them to `destination`'s input.
    bool MoveInputTo(PduBuffer& destination, std::size_t count);
    // Moves up to `count` bytes from the front of the output into `destination`'s output;
    // returns how many were moved.
    std::size_t MoveOutputTo(PduBuffer& destination, std::size_t count);
    // Drops all unread input and unsent output.
    void Clear();
    // Drops unsent output only.
    void ClearOutput();

    std::size_t InputAvailable() const { return inputAvailable_; }
    std::size_t OutputPending() const { return outputPending_; }
    // Bytes of memory held for input: at most two blocks more than the unread input, however
    // small the pieces the peer sent it in.
    std::size_t InputMemory() const;

    TcpTransport& Transport() { return transport_; }
    const TcpTransport& Transport() const { return transport_; }

private:
    // Bytes [begin, end) of data are the live part of the block.
    struct Block {
        ByteVector data;  // filled as it is used; never zero-filled first
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    bool FillInput(std::size_t count);
    bool ReadLarge(uint8_t* destination, std::size_t count);
    void PeekInput(uint8_t* destination, std::size_t count) const;
    void TakeInput(uint8_t* destination, std::size_t count);

    int readOrder_ = kLittleEndian;
    int writeOrder_ = kLittleEndian;
    std::deque<Block> inputBlocks_;
    std::deque<Block> outputBlocks_;
    std::size_t inputAvailable_ = 0;
    std::size_t outputPending_ = 0;
    TcpTransport transport_;
};

}  // namespace pella
