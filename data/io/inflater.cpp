#include "data/io/inflater.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace pella {

namespace {

constexpr uint64_t kFloorLimit = uint64_t{1} << 30;
constexpr uint64_t kRatioLimit = 64;
constexpr int kRawDeflate = -MAX_WBITS;  // negative window bits: no zlib header or trailer

std::string SizeText(uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

}  // namespace

uint64_t InflationLimit(uint64_t compressedSize) {
    uint64_t ratio = compressedSize > std::numeric_limits<uint64_t>::max() / kRatioLimit
                         ? std::numeric_limits<uint64_t>::max()
                         : compressedSize * kRatioLimit;
    return std::max(kFloorLimit, ratio);
}

struct Inflater::Stream {
    z_stream z{};
    bool open = false;
    uint8_t piece[kPieceSize];
};

Inflater::Inflater(uint64_t limit) : stream_(std::make_unique<Stream>()), limit_(limit) {
    if (inflateInit2(&stream_->z, kRawDeflate) == Z_OK)
        stream_->open = true;
    else
        failure_ = "the inflater could not be set up";
}

Inflater::~Inflater() {
    if (stream_->open) inflateEnd(&stream_->z);
}

bool Inflater::Fail(const std::string& why) {
    if (failure_.empty()) failure_ = why;
    return false;
}

bool Inflater::Feed(const uint8_t* bytes, std::size_t size, const Sink& sink) {
    if (!failure_.empty()) return false;
    z_stream& z = stream_->z;
    while (size > 0 && !ended_) {
        // zlib counts in 32 bits: feed at most 1 GiB at a time.
        uInt chunk = static_cast<uInt>(std::min<std::size_t>(size, std::size_t{1} << 30));
        z.next_in = const_cast<Bytef*>(bytes);
        z.avail_in = chunk;
        do {
            z.next_out = stream_->piece;
            z.avail_out = kPieceSize;
            int result = inflate(&z, Z_NO_FLUSH);
            if (result == Z_NEED_DICT || (result < 0 && result != Z_BUF_ERROR))
                return Fail("the deflated data set is corrupt (" + std::string(z.msg ? z.msg : "bad data") +
                            ") after " + SizeText(out_) + " of output");
            std::size_t produced = kPieceSize - z.avail_out;
            if (produced > limit_ - std::min(out_, limit_))
                return Fail("the deflated data set inflates past " + SizeText(limit_) +
                            ": refused as a decompression bomb");
            out_ += produced;
            if (produced > 0 && !sink(stream_->piece, produced))
                return Fail("the inflated data were refused");
            if (result == Z_STREAM_END) ended_ = true;
            if (result == Z_BUF_ERROR && produced == 0) break;  // needs more input
        } while (!ended_ && (z.avail_in > 0 || z.avail_out == 0));
        std::size_t used = chunk - z.avail_in;
        bytes += used;
        size -= used;
        if (!ended_ && used == 0 && z.avail_in > 0) return Fail("the deflated data set cannot be inflated");
    }
    return true;
}

bool InflateWhole(const uint8_t* bytes, std::size_t size, uint64_t limit, ByteVector& out,
                  std::string& reason) {
    out.clear();
    Inflater measure(limit);
    if (!measure.Feed(bytes, size, [](const uint8_t*, std::size_t) { return true; })) {
        reason = measure.Failure();
        return false;
    }
    if (!measure.Ended()) {
        reason = "the deflated data set is cut short after " + SizeText(measure.BytesOut()) + " of output";
        return false;
    }
    out.reserve(static_cast<std::size_t>(measure.BytesOut()));
    Inflater inflater(limit);
    bool ok = inflater.Feed(bytes, size, [&out](const uint8_t* piece, std::size_t n) {
        out.insert(out.end(), piece, piece + n);
        return true;
    });
    if (!ok) reason = inflater.Failure();
    return ok;
}

}  // namespace pella
