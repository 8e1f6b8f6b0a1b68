// Deflating a data set (raw deflate, no zlib header) a piece at a time, for files and for
// associations that take the deflated syntax. Output goes to a sink in bounded pieces, so the
// whole compressed data set is never held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pella {

class Deflater {
public:
    // Takes each piece of output; false refuses it and stops.
    using Sink = std::function<bool(const uint8_t* bytes, std::size_t size)>;
    static constexpr std::size_t kPieceSize = 64 * 1024;

    // `sink` must outlive the deflater.
    explicit Deflater(Sink sink);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Deflates the next bytes of the data set. False when the sink refused output.
    bool Add(const uint8_t* bytes, std::size_t size);

    // Ends the stream; its output, padded with a zero byte to an even length, goes to the sink.
    bool Finish();

    uint64_t BytesOut() const { return out_; }

private:
    bool Run(int flush);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    Sink sink_;
    uint64_t out_ = 0;
    bool failed_ = false;
};

}  // namespace pella
