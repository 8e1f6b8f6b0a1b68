// The JPEG-LS, JPEG 2000 and HTJ2K frame decoders on arbitrary bytes. The input starts with the
// frame format the data set would announce (a 10-byte header, below), the rest is the compressed
// frame. A frame that decodes must have exactly the announced size, and must survive a lossless
// round trip through the same codec unchanged.
//
// Header: codec (0 JPEG-LS, 1 JPEG 2000, 2 HTJ2K; taken modulo 3), rows and columns (16-bit
// little endian, at most 2048 each), samples per pixel (odd: 3, even: 1), bits allocated (odd: 16,
// even: 8), bits stored (modulo bits allocated, plus one), pixel representation, planar
// configuration.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "data/codec/codec_registry.h"
#include "data/codec/native_samples.h"

using namespace pella;

namespace {

constexpr std::size_t kHeader = 10;
constexpr uint32_t kMaxSide = 2048;

const char* LosslessSyntax(uint8_t codec) {
    switch (codec % 3) {
        case 0:
            return PELLA_JPEG_LS_LOSSLESS;
        case 1:
            return PELLA_JPEG_2000_LOSSLESS;
        default:
            return PELLA_HTJ2K_LOSSLESS;
    }
}

FrameFormat FormatOf(const uint8_t* h) {
    FrameFormat format;
    format.rows = static_cast<uint32_t>(h[1] | (h[2] << 8));
    format.columns = static_cast<uint32_t>(h[3] | (h[4] << 8));
    format.samplesPerPixel = (h[5] & 1) ? 3 : 1;
    format.bitsAllocated = (h[6] & 1) ? 16 : 8;
    format.bitsStored = static_cast<uint16_t>(h[7] % format.bitsAllocated + 1);
    format.isSigned = (h[8] & 1) != 0;
    format.planar = (h[9] & 1) != 0;
    format.photometric = format.samplesPerPixel == 3 ? "RGB" : "MONOCHROME2";
    return format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    FrameFormat stored = FormatOf(data);
    if (stored.rows > kMaxSide || stored.columns > kMaxSide) return 0;
    TransferSyntax syntax(LosslessSyntax(data[0]));
    const FrameCodec* codec = FindFrameCodec(syntax);
    if (codec == nullptr) std::abort();
    CodedFrame decoded;
    std::string reason;
    if (!codec->Decode(std::span(data + kHeader, size - kHeader), stored, decoded, reason)) {
        if (reason.empty()) std::abort();  // every refusal says why
        return 0;
    }
    if (decoded.bytes.size() != decoded.format.FrameBytes() ||
        decoded.format.FrameBytes() != stored.FrameBytes())
        std::abort();
    if (uint64_t{stored.rows} * stored.columns > 64 * 64) return 0;  // keep each run short
    CodedFrame encoded;
    if (!codec->Encode(decoded.bytes, decoded.format, syntax, EncodeOptions{}, encoded, reason)) return 0;
    CodedFrame again;
    if (!codec->Decode(encoded.bytes, encoded.format, again, reason)) std::abort();
    // The round trip keeps every sample's stored bits.
    const FrameFormat& a = decoded.format;
    const FrameFormat& b = again.format;
    if (again.bytes.size() != decoded.bytes.size() || a.photometric != b.photometric) std::abort();
    std::size_t pixels = std::size_t{a.rows} * a.columns;
    for (std::size_t c = 0; c < a.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p)
            if (ReadSample(decoded.bytes.data(), SampleOffset(a, p, c), a) !=
                ReadSample(again.bytes.data(), SampleOffset(b, p, c), b))
                std::abort();
    return 0;
}
