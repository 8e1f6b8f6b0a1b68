#include "data/codec/jpeg_frame_codec.h"

#include <cstring>
#include <exception>

#include "data/codec/planar_layout.h"
#include "data/jpeg/jpeg_codec.h"
#include "data/jpeg/jpeg_stream_info.h"

namespace pella {

namespace {

// The colour space a 3-component stream holds when the stream itself does not say.
JpegColourSpace DeclaredColourSpace(const std::string& photometric) {
    if (photometric == "RGB") return JpegColourSpace::Rgb;
    if (photometric.rfind("YBR_", 0) == 0) return JpegColourSpace::YCbCr;
    return JpegColourSpace::Unstated;
}

JpegFrameShape ShapeOf(const FrameFormat& f) {
    return {f.columns, f.rows, f.samplesPerPixel, DeclaredColourSpace(f.photometric)};
}

// An 8-bit stream in a data set of 16 bits allocated: each sample widened to a 16-bit word.
std::vector<uint8_t> Widen(const std::vector<uint8_t>& narrow) {
    std::vector<uint8_t> wide(narrow.size() * 2, 0);
    for (std::size_t i = 0; i < narrow.size(); ++i) wide[2 * i] = narrow[i];
    return wide;
}

bool DecodeSamples(std::span<const uint8_t> compressed, const FrameFormat& stored, const JpegStreamInfo& info,
                   std::vector<uint8_t>& pixels, std::string& reason) {
    const JpegFrameShape shape = ShapeOf(stored);
    const uint8_t* data = compressed.data();
    const std::size_t length = compressed.size();
    const bool eightBit = info.precision <= 8;
    if (stored.bitsAllocated != 8 && stored.bitsAllocated != 16) {
        reason = std::to_string(stored.bitsAllocated) + " bits allocated cannot hold JPEG samples";
        return false;
    }
    if (stored.bitsAllocated == 8 && !eightBit) {
        reason = "a " + std::to_string(info.precision) + "-bit JPEG stream in 8 bits allocated";
        return false;
    }
    std::size_t bytes = JpegFrameBytes(shape, eightBit ? 1 : 2);
    if (bytes == 0) {
        reason = "the image attributes describe no frame JPEG can hold";
        return false;
    }
    const int build = eightBit ? 8 : !info.lossless && info.precision <= 12 ? 12 : 16;
    if (!(build == 8    ? JpegAvailable8(reason)
          : build == 12 ? JpegAvailable12(reason)
                        : JpegAvailable16(reason)))
        return false;
    pixels.assign(bytes, 0);
    bool ok = build == 8    ? JpegDecode8(data, length, shape, pixels.data(), bytes)
              : build == 12 ? JpegDecode12(data, length, shape, pixels.data(), bytes)
                            : JpegDecode16(data, length, shape, pixels.data(), bytes);
    if (!ok) {
        reason = "the JPEG stream is corrupt, truncated or disagrees with the image attributes";
        return false;
    }
    if (eightBit && stored.bitsAllocated == 16) pixels = Widen(pixels);
    return true;
}

std::string Bits(const FrameFormat& f) {
    return std::to_string(f.bitsAllocated) + " bits allocated";
}

bool FailWith(std::string& reason, const std::string& text) {
    reason = text;
    return false;
}

class JpegCodec final : public FrameCodec {
public:
    std::string Library() const override { return "IJG libjpeg 6b with the lossless extension (GDCM build)"; }

    bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                std::string& reason) const override {
        JpegStreamInfo info;
        if (!ReadJpegStreamInfo(compressed.data(), compressed.size(), info))
            return FailWith(reason, "the frame is not a JPEG stream (no frame header)");
        if (!DecodeSamples(compressed, stored, info, out.bytes, reason)) return false;
        out.format = stored;
        // Three components come out as RGB whatever the stream held (the library converts
        // YCbCr as the stream's markers, or else the data set, say), interleaved.
        if (stored.samplesPerPixel == 3) out.format.photometric = "RGB";
        out.format.planar = false;
        return true;
    }

    bool CanEncode(const TransferSyntax& target) const override {
        SyntaxCodec codec = target.Codec();
        return codec == SyntaxCodec::kJpegBaseline || codec == SyntaxCodec::kJpegExtended ||
               codec == SyntaxCodec::kJpegLossless;
    }

    bool Encode(std::span<const uint8_t> frame, const FrameFormat& native, const TransferSyntax& target,
                const EncodeOptions& options, CodedFrame& out, std::string& reason) const override {
        if (!CanEncode(target)) return FailWith(reason, target.Name() + " is not a JPEG syntax");
        if (native.samplesPerPixel == 3 && native.photometric != "RGB")
            return FailWith(reason, "colour frames in " + native.photometric +
                                        " cannot be coded as JPEG here (RGB only)");
        uint64_t frameBytes = native.FrameBytes();
        if (frameBytes == 0 || frame.size() < frameBytes)
            return FailWith(reason, "the frame is shorter than its image attributes announce");
        std::vector<uint8_t> interleaved;
        const uint8_t* pixels = frame.data();
        if (native.samplesPerPixel == 3 && native.planar) {
            interleaved = InterleavePlanes(frame.first(frameBytes), native.bitsAllocated / 8);
            pixels = interleaved.data();
        }
        try {
            if (!EncodeSamples(pixels, frameBytes, native, target, options, out.bytes, reason)) return false;
        } catch (const std::exception& error) {
            return FailWith(reason, error.what());
        }
        out.format = native;
        out.format.planar = false;
        // The lossy processes code RGB input as YCbCr, without subsampling.
        if (native.samplesPerPixel == 3 && target.Codec() != SyntaxCodec::kJpegLossless)
            out.format.photometric = "YBR_FULL";
        return true;
    }

private:
    static bool EncodeSamples(const uint8_t* pixels, uint64_t bytes, const FrameFormat& f,
                              const TransferSyntax& target, const EncodeOptions& options,
                              std::vector<uint8_t>& out, std::string& reason) {
        const JpegFrameShape shape = ShapeOf(f);
        const auto size = static_cast<std::size_t>(bytes);
        switch (target.Codec()) {
            case SyntaxCodec::kJpegBaseline:
                if (f.bitsAllocated != 8)
                    return FailWith(reason, Bits(f) + " cannot be coded as JPEG baseline (8 only)");
                out = JpegEncode8(pixels, size, shape, JpegMode::Baseline, options.quality);
                return true;
            case SyntaxCodec::kJpegExtended:
                if (f.bitsAllocated == 8) {
                    out = JpegEncode8(pixels, size, shape, JpegMode::Baseline, options.quality);
                    return true;
                }
                if (f.bitsAllocated != 16 || f.bitsStored > 12)
                    return FailWith(
                        reason,
                        Bits(f) + " cannot be coded as JPEG extended (8, or 16 with at most 12 stored)");
                out = JpegEncode12(pixels, size, shape, JpegMode::Baseline, options.quality);
                return true;
            default:
                if (f.bitsAllocated == 8) {
                    out = JpegEncode8(pixels, size, shape, JpegMode::Lossless);
                    return true;
                }
                if (f.bitsAllocated != 16)
                    return FailWith(reason, Bits(f) + " cannot be coded as JPEG lossless (8 or 16 only)");
                out = JpegEncode16(pixels, size, shape);
                return true;
        }
    }
};

}  // namespace

const FrameCodec& JpegFrameCodec() {
    static const JpegCodec codec;
    return codec;
}

}  // namespace pella
