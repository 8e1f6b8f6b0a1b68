#include "data/codec/rle_frame_codec.h"

#include <array>

#include "data/codec/packbits.h"

namespace pella {

namespace {

constexpr std::size_t kHeaderBytes = 64;
constexpr uint32_t kMaxSegments = 15;

uint32_t ReadLE32(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

void WriteLE32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool FailWith(std::string& reason, const std::string& text) {
    reason = text;
    return false;
}

// The segments of a frame: [begin, end) of each within the compressed bytes.
struct Segments {
    uint32_t count = 0;
    std::array<std::size_t, kMaxSegments + 1> bounds{};
};

bool ReadHeader(std::span<const uint8_t> frame, uint32_t expected, Segments& segments, std::string& reason) {
    if (frame.size() < kHeaderBytes) return FailWith(reason, "an RLE frame shorter than its 64-byte header");
    segments.count = ReadLE32(frame, 0);
    if (segments.count != expected)
        return FailWith(reason, "an RLE header names " + std::to_string(segments.count) +
                                    " segments; the image attributes need " + std::to_string(expected));
    for (uint32_t i = 0; i < segments.count; ++i) {
        std::size_t offset = ReadLE32(frame, 4 + 4 * i);
        std::size_t lower = i == 0 ? kHeaderBytes : segments.bounds[i - 1];
        if (offset < lower || offset > frame.size() || (i == 0 && offset != kHeaderBytes))
            return FailWith(reason, "an RLE segment offset lies outside the frame or out of order");
        segments.bounds[i] = offset;
    }
    segments.bounds[segments.count] = frame.size();
    return true;
}

// Where sample byte `b` (0 the most significant) of sample `s` of pixel 0 stands in interleaved
// little-endian native pixels, and the distance from one pixel to the next.
std::size_t ByteOffset(const FrameFormat& f, std::size_t s, std::size_t b) {
    const std::size_t bytes = f.bitsAllocated / 8;
    return s * bytes + (bytes - 1 - b);
}

bool CheckFormat(const FrameFormat& f, std::string& reason) {
    if (f.rows == 0 || f.columns == 0) return FailWith(reason, "an image without rows or columns");
    if (f.samplesPerPixel != 1 && f.samplesPerPixel != 3)
        return FailWith(reason, "RLE codes 1 or 3 samples per pixel");
    if (f.bitsAllocated != 8 && f.bitsAllocated != 16 && f.bitsAllocated != 32)
        return FailWith(reason, "RLE codes 8, 16 or 32 bits allocated here");
    return true;
}

class RleCodec final : public FrameCodec {
public:
    std::string Library() const override { return "Pella's own RLE coder"; }

    bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                std::string& reason) const override {
        if (!CheckFormat(stored, reason)) return false;
        const std::size_t bytesPerSample = stored.bitsAllocated / 8;
        const auto expected = static_cast<uint32_t>(stored.samplesPerPixel * bytesPerSample);
        Segments segments;
        if (!ReadHeader(compressed, expected, segments, reason)) return false;
        // A run of two bytes codes at most 128: a claim of more pixels than that is a lie.
        const std::size_t pixels = std::size_t{stored.rows} * stored.columns;
        if (pixels / 64 > compressed.size())
            return FailWith(reason, "the RLE frame is too short for the image attributes' " +
                                        std::to_string(pixels) + " pixels");
        out.format = stored;
        out.format.planar = false;
        if (stored.photometric == "YBR_FULL_422") out.format.photometric = "YBR_FULL";
        const std::size_t stride = stored.samplesPerPixel * bytesPerSample;
        out.bytes.assign(pixels * stride, 0);
        std::vector<uint8_t> plane(pixels);
        for (uint32_t i = 0; i < segments.count; ++i) {
            auto segment =
                compressed.subspan(segments.bounds[i], segments.bounds[i + 1] - segments.bounds[i]);
            if (!UnpackBits(segment, plane, reason)) return false;
            uint8_t* target = out.bytes.data() + ByteOffset(stored, i / bytesPerSample, i % bytesPerSample);
            for (std::size_t p = 0; p < pixels; ++p) target[p * stride] = plane[p];
        }
        return true;
    }

    bool CanEncode(const TransferSyntax& target) const override {
        return target.Codec() == SyntaxCodec::kRle;
    }

    bool Encode(std::span<const uint8_t> frame, const FrameFormat& native, const TransferSyntax& target,
                const EncodeOptions&, CodedFrame& out, std::string& reason) const override {
        if (!CanEncode(target)) return FailWith(reason, target.Name() + " is not RLE");
        if (!CheckFormat(native, reason)) return false;
        if (native.photometric == "YBR_FULL_422")
            return FailWith(reason, "subsampled YBR_FULL_422 pixels cannot be coded as RLE");
        const uint64_t frameBytes = native.FrameBytes();
        if (frame.size() < frameBytes)
            return FailWith(reason, "the frame is shorter than its image attributes announce");
        const std::size_t bytesPerSample = native.bitsAllocated / 8;
        const auto count = static_cast<uint32_t>(native.samplesPerPixel * bytesPerSample);
        out.bytes.assign(kHeaderBytes, 0);
        WriteLE32(out.bytes, 0, count);
        std::vector<uint8_t> row(native.columns);
        for (uint32_t i = 0; i < count; ++i) {
            WriteLE32(out.bytes, 4 + 4 * i, static_cast<uint32_t>(out.bytes.size()));
            AppendSegment(frame, native, i / bytesPerSample, i % bytesPerSample, row, out.bytes);
            if (out.bytes.size() % 2) out.bytes.push_back(0);  // segments start at even offsets
        }
        out.format = native;
        out.format.planar = false;
        return true;
    }

private:
    // Codes byte `b` of sample `s` of every pixel, row by row.
    static void AppendSegment(std::span<const uint8_t> frame, const FrameFormat& f, std::size_t s,
                              std::size_t b, std::vector<uint8_t>& row, std::vector<uint8_t>& out) {
        const std::size_t bytesPerSample = f.bitsAllocated / 8;
        const std::size_t pixels = std::size_t{f.rows} * f.columns;
        std::size_t first, stride;
        if (f.planar && f.samplesPerPixel == 3) {
            first = s * pixels * bytesPerSample + (bytesPerSample - 1 - b);
            stride = bytesPerSample;
        } else {
            first = ByteOffset(f, s, b);
            stride = f.samplesPerPixel * bytesPerSample;
        }
        for (std::size_t y = 0; y < f.rows; ++y) {
            const uint8_t* source = frame.data() + first + y * f.columns * stride;
            for (std::size_t x = 0; x < f.columns; ++x) row[x] = source[x * stride];
            PackBitsRow(row, out);
        }
    }
};

}  // namespace

const FrameCodec& RleFrameCodec() {
    static const RleCodec codec;
    return codec;
}

}  // namespace pella
