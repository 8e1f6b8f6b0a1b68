// Inflating a deflated data set (raw deflate, no zlib header) as its bytes arrive. Output is
// handed on a bounded piece at a time, and stops with a clear failure once it passes a limit,
// so a small stream that inflates without end ("a bomb") costs time, never memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/model/byte_vector.h"

namespace pella {

// The most a stream of `compressedSize` bytes may inflate to when nothing else bounds it: 64
// times its size or 1 GiB, whichever is more (real data sets stay far below either).
uint64_t InflationLimit(uint64_t compressedSize);

class Inflater {
public:
    // Takes each piece of output (at most kPieceSize bytes); false refuses it and stops.
    using Sink = std::function<bool(const uint8_t* bytes, std::size_t size)>;
    static constexpr std::size_t kPieceSize = 64 * 1024;

    explicit Inflater(uint64_t limit);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates the next compressed bytes. Bytes after the end of the stream (an even-length pad)
    // are ignored. False when the stream is corrupt, passes the limit or the sink refuses;
    // Failure() says why, and nothing more may be fed.
    bool Feed(const uint8_t* bytes, std::size_t size, const Sink& sink);

    // The stream's last block has been inflated.
    bool Ended() const { return ended_; }
    uint64_t BytesOut() const { return out_; }
    const std::string& Failure() const { return failure_; }

private:
    bool Fail(const std::string& why);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    uint64_t limit_;
    uint64_t out_ = 0;
    bool ended_ = false;
    std::string failure_;
};

// Inflates a whole stream into `out` (emptied first): the size is measured in a first pass, so
// `out` is allocated once and only for a stream that stays within `limit` and ends. False with
// `reason` set otherwise.
bool InflateWhole(const uint8_t* bytes, std::size_t size, uint64_t limit, ByteVector& out,
                  std::string& reason);

}  // namespace pella
