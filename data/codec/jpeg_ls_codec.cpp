#include "data/codec/jpeg_ls_codec.h"

#include <charls/charls.h>

#include <algorithm>
#include <memory>

#include "data/codec/native_samples.h"

namespace pella {
namespace {

using DecoderPtr = std::unique_ptr<charls_jpegls_decoder, decltype(&charls_jpegls_decoder_destroy)>;
using EncoderPtr = std::unique_ptr<charls_jpegls_encoder, decltype(&charls_jpegls_encoder_destroy)>;

bool Failed(charls_jpegls_errc code, const char* step, std::string& reason) {
    if (code == charls::jpegls_errc::success) return false;
    reason = std::string("JPEG-LS ") + step + ": " + charls_get_error_message(code);
    return true;
}

// Whether the stream's frame header agrees with the data set's image attributes.
bool HeaderMatches(const charls_frame_info& info, const FrameFormat& stored, std::string& reason) {
    if (info.width != stored.columns || info.height != stored.rows) {
        reason = "JPEG-LS frame of " + std::to_string(info.width) + " x " + std::to_string(info.height) +
                 " where the data set says " + std::to_string(stored.columns) + " x " +
                 std::to_string(stored.rows);
        return false;
    }
    if (info.component_count != stored.samplesPerPixel) {
        reason = "JPEG-LS frame of " + std::to_string(info.component_count) +
                 " components where the data set says " + std::to_string(stored.samplesPerPixel);
        return false;
    }
    if (info.bits_per_sample < 2 || info.bits_per_sample > stored.bitsAllocated) {
        reason = "JPEG-LS frame of " + std::to_string(info.bits_per_sample) + "-bit samples in " +
                 std::to_string(stored.bitsAllocated) + " bits allocated";
        return false;
    }
    return true;
}

// Moves CharLS's samples (bytes up to 8 bits, 16-bit words above; planar for interleave mode
// none, pixel-interleaved otherwise) into the native frame, sign-extended when signed.
void PlaceSamples(const std::vector<uint8_t>& decoded, int bitsPerSample, bool planar,
                  const FrameFormat& format, uint8_t* frame) {
    FrameFormat source = format;
    source.bitsAllocated = bitsPerSample <= 8 ? 8 : 16;
    source.planar = planar;
    std::size_t pixels = std::size_t{format.rows} * format.columns;
    for (std::size_t c = 0; c < format.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p)
            WriteSample(frame, SampleOffset(format, p, c),
                        ReadSample(decoded.data(), SampleOffset(source, p, c), source), format.bitsAllocated);
}

// The frame's samples as CharLS takes them: masked to bitsStored, one byte each up to 8 bits
// stored and one 16-bit word above, in the frame's own planar configuration. A frame that uses
// every bit allocated already is that, and is handed over as it stands; otherwise `scratch`
// receives the samples.
std::span<const uint8_t> CharlsSamples(std::span<const uint8_t> frame, const FrameFormat& format,
                                       std::vector<uint8_t>& scratch) {
    const unsigned sourceBytes = format.bitsAllocated / 8;
    const unsigned targetBytes = format.bitsStored <= 8 ? 1 : 2;
    const std::size_t count = std::size_t{format.rows} * format.columns * format.samplesPerPixel;
    if (sourceBytes == targetBytes && format.bitsStored == format.bitsAllocated)
        return frame.first(count * sourceBytes);
    scratch.resize(count * targetBytes);
    // The bit pattern of bitsStored bits is what is coded, so no sign is extended.
    CopySampleRun(frame.data(), sourceBytes, scratch.data(), targetBytes, format.bitsStored, false, count);
    return scratch;
}

// Whether the stream ends with the end-of-image marker, after any zero bytes that pad it to an
// even length. CharLS spends seconds on a stream cut inside its coded data (tens of seconds for
// a small frame), so a stream without its end is refused before it gets there.
bool EndsWithEndOfImage(std::span<const uint8_t> stream) {
    std::size_t end = stream.size();
    while (end > 0 && stream[end - 1] == 0) --end;
    return end >= 2 && stream[end - 2] == 0xFF && stream[end - 1] == 0xD9;
}

// Signed samples are coded as their bit patterns, where the largest value and the smallest are
// neighbours: a near-lossless error across that seam would turn one into the other. True when a
// sample lies within `nearLossless` of the seam (the frame is then coded losslessly).
bool NearTheSignSeam(std::span<const uint8_t> samples, const FrameFormat& native, int nearLossless) {
    int half = 1 << (native.bitsStored - 1);
    bool wide = native.bitsStored > 8;
    std::size_t count = samples.size() / (wide ? 2 : 1);
    for (std::size_t i = 0; i < count; ++i) {
        int pattern = wide ? samples[2 * i] | (samples[2 * i + 1] << 8) : samples[i];
        if (pattern >= half - nearLossless && pattern < half + nearLossless) return true;
    }
    return false;
}

// Decodes straight into the frame when CharLS's samples already stand where the native frame
// wants them (same width and planar configuration); only the bits above bitsStored are then
// masked or sign-extended, in place.
bool DecodeInPlace(charls_jpegls_decoder* decoder, std::size_t size, CodedFrame& out, std::string& reason) {
    out.bytes.resize(size);
    if (Failed(charls_jpegls_decoder_decode_to_buffer(decoder, out.bytes.data(), out.bytes.size(), 0), "data",
               reason)) {
        out.bytes.clear();
        return false;
    }
    const FrameFormat& f = out.format;
    const unsigned bytes = f.bitsAllocated / 8;
    if (f.bitsStored < f.bitsAllocated)
        CopySampleRun(out.bytes.data(), bytes, out.bytes.data(), bytes, f.bitsStored, f.isSigned,
                      size / bytes);
    return true;
}

class JpegLs final : public FrameCodec {
public:
    std::string Library() const override { return std::string("CharLS ") + charls_get_version_string(); }

    bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                std::string& reason) const override {
        if (!IsCodecFormat(stored, reason)) return false;
        if (!EndsWithEndOfImage(compressed)) {
            reason = "JPEG-LS stream is truncated: it does not end with the end-of-image marker";
            return false;
        }
        DecoderPtr decoder(charls_jpegls_decoder_create(), charls_jpegls_decoder_destroy);
        if (!decoder) {
            reason = "JPEG-LS decoder: out of memory";
            return false;
        }
        charls_frame_info info{};
        charls_interleave_mode interleave{};
        if (Failed(
                charls_jpegls_decoder_set_source_buffer(decoder.get(), compressed.data(), compressed.size()),
                "source", reason) ||
            Failed(charls_jpegls_decoder_read_header(decoder.get()), "header", reason) ||
            Failed(charls_jpegls_decoder_get_frame_info(decoder.get(), &info), "header", reason) ||
            Failed(charls_jpegls_decoder_get_interleave_mode(decoder.get(), &interleave), "header", reason))
            return false;
        if (!HeaderMatches(info, stored, reason)) return false;
        size_t size = 0;
        if (Failed(charls_jpegls_decoder_get_destination_size(decoder.get(), 0, &size), "header", reason))
            return false;
        std::size_t expected = std::size_t{info.width} * info.height * info.component_count *
                               (info.bits_per_sample <= 8 ? 1 : 2);
        if (size != expected) {
            reason = "JPEG-LS frame needs " + std::to_string(size) + " bytes where " +
                     std::to_string(expected) + " were expected";
            return false;
        }
        out.format = DecodedFormat(stored);
        const bool planarStream = interleave == charls::interleave_mode::none;
        if ((out.format.samplesPerPixel == 1 || planarStream == out.format.planar) &&
            size == out.format.FrameBytes())
            return DecodeInPlace(decoder.get(), size, out, reason);
        std::vector<uint8_t> decoded(size);
        if (Failed(charls_jpegls_decoder_decode_to_buffer(decoder.get(), decoded.data(), decoded.size(), 0),
                   "data", reason))
            return false;
        out.bytes.assign(out.format.FrameBytes(), 0);
        PlaceSamples(decoded, info.bits_per_sample, planarStream, out.format, out.bytes.data());
        return true;
    }

    bool CanEncode(const TransferSyntax& target) const override {
        return target.Codec() == SyntaxCodec::kJpegLs;
    }

    bool Encode(std::span<const uint8_t> frame, const FrameFormat& native, const TransferSyntax& target,
                const EncodeOptions& options, CodedFrame& out, std::string& reason) const override {
        if (!CanEncode(target)) {
            reason = "JPEG-LS does not encode " + target.Name();
            return false;
        }
        if (!IsEncodableFrame(frame, native, reason)) return false;
        if (native.bitsStored < 2) {
            reason = "JPEG-LS takes 2 to 16 bits stored";
            return false;
        }
        int maximum = (1 << native.bitsStored) - 1;
        int nearLossless =
            target.Lossy() ? std::clamp(options.nearLossless, 0, std::min(255, maximum / 2)) : 0;
        std::vector<uint8_t> scratch;
        std::span<const uint8_t> samples = CharlsSamples(frame, native, scratch);
        if (native.isSigned && nearLossless > 0 && NearTheSignSeam(samples, native, nearLossless))
            nearLossless = 0;
        EncoderPtr encoder(charls_jpegls_encoder_create(), charls_jpegls_encoder_destroy);
        if (!encoder) {
            reason = "JPEG-LS encoder: out of memory";
            return false;
        }
        charls_frame_info info{native.columns, native.rows, native.bitsStored, native.samplesPerPixel};
        charls_interleave_mode interleave = native.samplesPerPixel == 1 || native.planar
                                                ? charls::interleave_mode::none
                                                : charls::interleave_mode::sample;
        size_t capacity = 0;
        if (Failed(charls_jpegls_encoder_set_frame_info(encoder.get(), &info), "frame", reason) ||
            Failed(charls_jpegls_encoder_set_near_lossless(encoder.get(), nearLossless), "near-lossless",
                   reason) ||
            Failed(charls_jpegls_encoder_set_interleave_mode(encoder.get(), interleave), "interleave",
                   reason) ||
            Failed(charls_jpegls_encoder_get_estimated_destination_size(encoder.get(), &capacity), "size",
                   reason))
            return false;
        // Written into a buffer left uninitialised (the estimate exceeds what is written), then
        // only the written bytes are kept.
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
        size_t written = 0;
        if (Failed(charls_jpegls_encoder_set_destination_buffer(encoder.get(), buffer.get(), capacity),
                   "destination", reason) ||
            Failed(charls_jpegls_encoder_encode_from_buffer(encoder.get(), samples.data(), samples.size(), 0),
                   "encode", reason) ||
            Failed(charls_jpegls_encoder_get_bytes_written(encoder.get(), &written), "encode", reason))
            return false;
        out.bytes.assign(buffer.get(), buffer.get() + written);
        // The stream's colour is the frame's own (RGB stays RGB); it decodes interleaved.
        out.format = native;
        out.format.planar = false;
        return true;
    }
};

}  // namespace

const FrameCodec& JpegLsCodec() {
    static const JpegLs codec;
    return codec;
}

}  // namespace pella
