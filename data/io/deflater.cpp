#include "data/io/deflater.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace pella {

namespace {

constexpr int kRawDeflate = -MAX_WBITS;  // negative window bits: no zlib header or trailer
constexpr int kMemoryLevel = 8;

}  // namespace

struct Deflater::Stream {
    z_stream z{};
    uint8_t piece[kPieceSize];
};

Deflater::Deflater(Sink sink) : stream_(std::make_unique<Stream>()), sink_(std::move(sink)) {
    if (deflateInit2(&stream_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawDeflate, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("the deflater could not be set up");
}

Deflater::~Deflater() {
    deflateEnd(&stream_->z);
}

bool Deflater::Add(const uint8_t* bytes, std::size_t size) {
    while (size > 0 && !failed_) {
        uInt chunk = static_cast<uInt>(std::min<std::size_t>(size, std::size_t{1} << 30));
        stream_->z.next_in = const_cast<Bytef*>(bytes);
        stream_->z.avail_in = chunk;
        if (!Run(Z_NO_FLUSH)) return false;
        bytes += chunk;
        size -= chunk;
    }
    return !failed_;
}

bool Deflater::Finish() {
    if (failed_) return false;
    stream_->z.next_in = nullptr;
    stream_->z.avail_in = 0;
    if (!Run(Z_FINISH)) return false;
    if (out_ % 2 != 0) {
        const uint8_t pad = 0;
        if (!sink_(&pad, 1)) {
            failed_ = true;
            return false;
        }
        ++out_;
    }
    return true;
}

// Deflates what is pending until zlib wants more input (or, finishing, the stream has ended).
bool Deflater::Run(int flush) {
    z_stream& z = stream_->z;
    int result = Z_OK;
    do {
        z.next_out = stream_->piece;
        z.avail_out = kPieceSize;
        result = deflate(&z, flush);
        std::size_t produced = kPieceSize - z.avail_out;
        if (produced > 0 && !sink_(stream_->piece, produced)) {
            failed_ = true;
            return false;
        }
        out_ += produced;
    } while (z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    return true;
}

}  // namespace pella
