// The JPEG-LS, JPEG 2000 and HTJ2K codecs through the codec registry: lossless round trips over
// bit depths, sample counts, signedness and planar configuration; near-lossless and lossy error
// bounds; the photometric interpretation each encoder hands back; JPEG-LS streams in every
// interleave mode; and streams that disagree with the data set's attributes, are truncated or
// corrupt, refused without a crash.
#include <charls/charls.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/codec/codec_registry.h"
#include "data/codec/native_samples.h"

using namespace pella;

namespace {

FrameFormat Format(uint32_t rows, uint32_t columns, uint16_t samples, uint16_t allocated, uint16_t stored,
                   bool isSigned, bool planar = false, const char* photometric = nullptr) {
    FrameFormat f;
    f.rows = rows;
    f.columns = columns;
    f.samplesPerPixel = samples;
    f.bitsAllocated = allocated;
    f.bitsStored = stored;
    f.isSigned = isSigned;
    f.planar = planar;
    f.photometric = photometric != nullptr ? photometric : samples == 3 ? "RGB" : "MONOCHROME2";
    return f;
}

// A frame over the whole range of its stored bits (signed values sign-extended over the bits
// allocated, as native pixel data holds them): a gradient per component, pseudo-random noise, and
// the extreme values in the first pixels.
std::vector<uint8_t> MakeFrame(const FrameFormat& f, unsigned noise) {
    std::vector<uint8_t> out(f.FrameBytes());
    int64_t low = f.isSigned ? -(int64_t{1} << (f.bitsStored - 1)) : 0;
    int64_t high = f.isSigned ? (int64_t{1} << (f.bitsStored - 1)) - 1 : (int64_t{1} << f.bitsStored) - 1;
    uint32_t seed = 2024;
    std::size_t pixels = std::size_t{f.rows} * f.columns;
    for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p) {
            seed = seed * 1103515245u + 12345u;
            std::size_t x = p % f.columns, y = p / f.columns;
            int64_t value = low + static_cast<int64_t>((x * 7 + y * 3 + c * 11) * (high - low) /
                                                       (f.columns * 7 + f.rows * 3 + 22));
            if (noise > 0) value += (seed >> 16) % noise;
            if (p == 0) value = low;
            if (p == 1) value = high;
            WriteSample(out.data(), SampleOffset(f, p, c), static_cast<int32_t>(std::min(value, high)),
                        f.bitsAllocated);
        }
    return out;
}

struct Difference {
    int64_t largest = 0;
    double meanAbsolute = 0;
    double psnr = 0;
};

// Sample by sample, whatever the planar configuration of either side.
Difference Compare(const std::vector<uint8_t>& a, const FrameFormat& fa, const std::vector<uint8_t>& b,
                   const FrameFormat& fb) {
    Difference d;
    std::size_t pixels = std::size_t{fa.rows} * fa.columns;
    double sum = 0, squares = 0;
    for (std::size_t c = 0; c < fa.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p) {
            int64_t delta = int64_t{ReadSample(a.data(), SampleOffset(fa, p, c), fa)} -
                            ReadSample(b.data(), SampleOffset(fb, p, c), fb);
            d.largest = std::max(d.largest, std::abs(delta));
            sum += static_cast<double>(std::abs(delta));
            squares += static_cast<double>(delta * delta);
        }
    double count = static_cast<double>(pixels * fa.samplesPerPixel);
    d.meanAbsolute = sum / count;
    double peak = std::pow(2.0, fa.bitsStored) - 1;
    d.psnr = squares == 0 ? INFINITY : 10 * std::log10(peak * peak / (squares / count));
    return d;
}

const FrameCodec& CodecOf(const char* uid) {
    const FrameCodec* codec = FindFrameCodec(TransferSyntax(uid));
    if (codec == nullptr) throw std::runtime_error(std::string("no codec for ") + uid);
    return *codec;
}

bool HasMarker(const std::vector<uint8_t>& stream, uint8_t second) {
    for (std::size_t i = 0; i + 1 < stream.size(); ++i)
        if (stream[i] == 0xFF && stream[i + 1] == second) return true;
    return false;
}

}  // namespace

TEST(FrameCodecs, RegistryFindsEachSyntaxAndEncodesTheListedOnes) {
    for (const char* uid : {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_LS_NEAR_LOSSLESS, PELLA_JPEG_2000_LOSSLESS,
                            PELLA_JPEG_2000, PELLA_HTJ2K_LOSSLESS, PELLA_HTJ2K_LOSSLESS_RPCL, PELLA_HTJ2K}) {
        SCOPED_TRACE(uid);
        EXPECT_TRUE(CanDecodeSyntax(TransferSyntax(uid)));
        std::string library = CodecOf(uid).Library();
        EXPECT_TRUE(library.find("CharLS 2.") == 0 || library.find("OpenJPEG 2.5") == 0) << library;
    }
    EXPECT_NE(CodecOf(PELLA_HTJ2K).Library().find("OpenJPH 0."), std::string::npos);
    for (const char* uid : {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_LS_NEAR_LOSSLESS, PELLA_JPEG_2000_LOSSLESS,
                            PELLA_JPEG_2000, PELLA_HTJ2K_LOSSLESS})
        EXPECT_TRUE(CanEncodeSyntax(TransferSyntax(uid))) << uid;
    EXPECT_FALSE(CanEncodeSyntax(TransferSyntax(PELLA_HTJ2K_LOSSLESS_RPCL)));
    EXPECT_FALSE(CanEncodeSyntax(TransferSyntax(PELLA_HTJ2K)));
}

TEST(FrameCodecs, RoundTripsOverDepthsComponentsSignednessAndPlanes) {
    struct Syntax {
        const char* uid;
        int largestError;        // 0: lossless
        const char* rgbBecomes;  // the photometric interpretation an RGB frame is coded as
        uint8_t requiredMarker;  // a marker the stream must hold (0: none)
    };
    const Syntax syntaxes[] = {
        {PELLA_JPEG_LS_LOSSLESS, 0, "RGB", 0xF7},       // SOF55
        {PELLA_JPEG_LS_NEAR_LOSSLESS, 3, "RGB", 0xF7},  // NEAR 3, asked below
        {PELLA_JPEG_2000_LOSSLESS, 0, "YBR_RCT", 0x51},
        {PELLA_JPEG_2000, -1, "YBR_ICT", 0x51},      // lossy: PSNR bound
        {PELLA_HTJ2K_LOSSLESS, 0, "YBR_RCT", 0x50},  // CAP: the High-Throughput block coder
    };
    const FrameFormat formats[] = {
        Format(37, 23, 1, 8, 8, false),         Format(31, 45, 1, 16, 12, false),
        Format(33, 20, 1, 16, 16, false),       Format(28, 35, 1, 16, 16, true),
        Format(30, 26, 1, 16, 13, true),        Format(17, 19, 1, 8, 7, true),
        Format(24, 40, 3, 8, 8, false),         Format(24, 40, 3, 8, 8, false, true),
        Format(21, 18, 3, 16, 12, false, true), Format(22, 25, 3, 8, 8, false, false, "YBR_FULL"),
    };
    EncodeOptions options;
    options.nearLossless = 3;
    options.compressionRatio = 6;
    for (const Syntax& s : syntaxes) {
        const FrameCodec& codec = CodecOf(s.uid);
        for (const FrameFormat& f : formats) {
            SCOPED_TRACE(std::string(s.uid) + ": " + std::to_string(f.samplesPerPixel) + " x " +
                         std::to_string(f.bitsStored) + "/" + std::to_string(f.bitsAllocated) +
                         (f.isSigned ? " signed" : "") + (f.planar ? " planar " : " ") + f.photometric);
            std::vector<uint8_t> original = MakeFrame(f, 1u << (f.bitsStored / 2));
            CodedFrame coded;
            std::string reason;
            ASSERT_TRUE(codec.Encode(original, f, TransferSyntax(s.uid), options, coded, reason)) << reason;
            EXPECT_TRUE(HasMarker(coded.bytes, s.requiredMarker));
            EXPECT_EQ(coded.format.photometric, f.photometric == "RGB" ? s.rgbBecomes : f.photometric);
            EXPECT_FALSE(coded.format.planar);
            // Decoded as a data set carrying the encoder's format would announce it.
            CodedFrame decoded;
            ASSERT_TRUE(codec.Decode(coded.bytes, coded.format, decoded, reason)) << reason;
            EXPECT_EQ(decoded.format.photometric, f.photometric);
            ASSERT_EQ(decoded.bytes.size(), f.FrameBytes());
            Difference d = Compare(original, f, decoded.bytes, decoded.format);
            if (s.largestError == 0) {
                EXPECT_EQ(d.largest, 0);
                if (!f.planar) {
                    EXPECT_EQ(decoded.bytes, original);  // every byte, high bits too
                }
            } else if (s.largestError > 0) {
                EXPECT_LE(d.largest, s.largestError);
                // Near-lossless drops detail, except for signed frames holding the extreme values
                // (as these do): those are coded losslessly, since an error would wrap around.
                EXPECT_EQ(d.largest > 0, !f.isSigned);
            } else {
                EXPECT_GT(d.psnr, 28.0) << "mean error " << d.meanAbsolute;
                EXPECT_LE(coded.bytes.size(), f.FrameBytes() * f.bitsStored / f.bitsAllocated / 6 + 400);
            }
        }
    }
}

namespace {

// A JPEG-LS stream of `frame` in `mode`, made with CharLS directly (the codec writes sample
// interleaving only).
std::vector<uint8_t> CharlsStream(const std::vector<uint8_t>& interleaved, const FrameFormat& f,
                                  charls_interleave_mode mode, int nearLossless) {
    std::vector<uint8_t> source = interleaved;
    if (mode == charls::interleave_mode::none) {  // CharLS takes planes for this mode
        FrameFormat planar = f;
        planar.planar = true;
        std::size_t pixels = std::size_t{f.rows} * f.columns;
        for (std::size_t c = 0; c < 3; ++c)
            for (std::size_t p = 0; p < pixels; ++p)
                source[SampleOffset(planar, p, c)] = interleaved[SampleOffset(f, p, c)];
    }
    charls_jpegls_encoder* encoder = charls_jpegls_encoder_create();
    charls_frame_info info{f.columns, f.rows, f.bitsStored, f.samplesPerPixel};
    std::vector<uint8_t> out(source.size() * 2 + 1024);
    size_t written = 0;
    bool ok =
        charls_jpegls_encoder_set_frame_info(encoder, &info) == charls::jpegls_errc::success &&
        charls_jpegls_encoder_set_interleave_mode(encoder, mode) == charls::jpegls_errc::success &&
        charls_jpegls_encoder_set_near_lossless(encoder, nearLossless) == charls::jpegls_errc::success &&
        charls_jpegls_encoder_set_destination_buffer(encoder, out.data(), out.size()) ==
            charls::jpegls_errc::success &&
        charls_jpegls_encoder_encode_from_buffer(encoder, source.data(), source.size(), 0) ==
            charls::jpegls_errc::success &&
        charls_jpegls_encoder_get_bytes_written(encoder, &written) == charls::jpegls_errc::success;
    charls_jpegls_encoder_destroy(encoder);
    out.resize(ok ? written : 0);
    return out;
}

}  // namespace

TEST(FrameCodecs, JpegLsDecodesEveryInterleaveModeIntoEitherPlanarConfiguration) {
    FrameFormat interleaved = Format(19, 27, 3, 8, 8, false);
    std::vector<uint8_t> original = MakeFrame(interleaved, 40);
    const FrameCodec& codec = CodecOf(PELLA_JPEG_LS_LOSSLESS);
    for (charls_interleave_mode mode :
         {charls::interleave_mode::none, charls::interleave_mode::line, charls::interleave_mode::sample}) {
        for (int nearLossless : {0, 2}) {
            std::vector<uint8_t> stream = CharlsStream(original, interleaved, mode, nearLossless);
            ASSERT_FALSE(stream.empty());
            for (bool planar : {false, true}) {
                SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)) + " near " +
                             std::to_string(nearLossless) + (planar ? " planar" : " interleaved"));
                FrameFormat stored = interleaved;
                stored.planar = planar;
                CodedFrame decoded;
                std::string reason;
                ASSERT_TRUE(codec.Decode(stream, stored, decoded, reason)) << reason;
                EXPECT_EQ(decoded.format.planar, planar);
                EXPECT_EQ(decoded.format.photometric, "RGB");
                EXPECT_EQ(
                    Compare(original, interleaved, decoded.bytes, decoded.format).largest <= nearLossless,
                    true);
                if (nearLossless == 0 && !planar) {
                    EXPECT_EQ(decoded.bytes, original);
                }
            }
        }
    }
}

TEST(FrameCodecs, NearLosslessSignedSamplesNeverWrapAroundBetweenTheExtremes) {
    // Samples close to the largest and the smallest value, and one frame well inside the range.
    const FrameFormat f = Format(20, 24, 1, 16, 12, true);
    const int32_t seam[] = {2047, 2046, 2045, -2048, -2047, 2044};
    const FrameCodec& codec = CodecOf(PELLA_JPEG_LS_NEAR_LOSSLESS);
    EncodeOptions options;
    options.nearLossless = 4;
    for (bool nearTheSeam : {true, false}) {
        SCOPED_TRACE(nearTheSeam ? "near the extremes" : "inside the range");
        std::vector<uint8_t> original(f.FrameBytes());
        std::size_t pixels = std::size_t{f.rows} * f.columns;
        for (std::size_t p = 0; p < pixels; ++p) {
            int32_t value = nearTheSeam ? seam[(p / 3) % 6] : static_cast<int32_t>((p * 37) % 1500) - 700;
            WriteSample(original.data(), SampleOffset(f, p, 0), value, f.bitsAllocated);
        }
        CodedFrame coded, decoded;
        std::string reason;
        ASSERT_TRUE(
            codec.Encode(original, f, TransferSyntax(PELLA_JPEG_LS_NEAR_LOSSLESS), options, coded, reason));
        ASSERT_TRUE(codec.Decode(coded.bytes, coded.format, decoded, reason)) << reason;
        Difference d = Compare(original, f, decoded.bytes, decoded.format);
        EXPECT_LE(d.largest, 4);
        EXPECT_EQ(d.largest > 0, !nearTheSeam);
    }
}

TEST(FrameCodecs, StreamsThatDisagreeWithTheDataSetAreRefusedBeforeDecoding) {
    const FrameFormat f = Format(30, 20, 1, 16, 12, false);
    std::vector<uint8_t> original = MakeFrame(f, 16);
    const FrameFormat disagreeing[] = {
        Format(31, 20, 1, 16, 12, false),  // rows
        Format(30, 19, 1, 16, 12, false),  // columns
        Format(30, 20, 3, 16, 12, false),  // components
        Format(30, 20, 1, 8, 8, false),    // 12-bit samples do not fit 8 bits allocated
        Format(20, 30, 1, 16, 12, false),  // rows and columns swapped: the same byte count
        Format(30, 20, 1, 12, 12, false),  // bits allocated neither 8 nor 16
    };
    for (const char* uid : {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_2000_LOSSLESS, PELLA_HTJ2K_LOSSLESS}) {
        const FrameCodec& codec = CodecOf(uid);
        CodedFrame coded;
        std::string reason;
        ASSERT_TRUE(codec.Encode(original, f, TransferSyntax(uid), {}, coded, reason)) << reason;
        for (const FrameFormat& wrong : disagreeing) {
            SCOPED_TRACE(std::string(uid) + ": " + std::to_string(wrong.rows) + " x " +
                         std::to_string(wrong.columns) + " x " + std::to_string(wrong.samplesPerPixel) +
                         ", " + std::to_string(wrong.bitsAllocated));
            CodedFrame decoded;
            reason.clear();
            EXPECT_FALSE(codec.Decode(coded.bytes, wrong, decoded, reason));
            EXPECT_FALSE(reason.empty());
            EXPECT_TRUE(decoded.bytes.empty());  // nothing allocated for the frame
        }
        // The other codecs' streams are not taken for this one's.
        CodedFrame decoded;
        std::vector<uint8_t> notAStream(original.begin(), original.begin() + 200);
        EXPECT_FALSE(codec.Decode(notAStream, f, decoded, reason));
        EXPECT_FALSE(codec.Decode({}, f, decoded, reason));
    }
    // Encoders refuse frames they cannot take instead of writing a wrong stream.
    CodedFrame coded;
    std::string reason;
    for (const char* uid : {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_2000_LOSSLESS, PELLA_HTJ2K_LOSSLESS}) {
        const FrameCodec& codec = CodecOf(uid);
        EXPECT_FALSE(codec.Encode(std::span(original).first(original.size() - 2), f, TransferSyntax(uid), {},
                                  coded, reason));
        EXPECT_FALSE(codec.Encode(original, Format(10, 10, 3, 8, 8, false, false, "YBR_FULL_422"),
                                  TransferSyntax(uid), {}, coded, reason));
        EXPECT_FALSE(codec.Encode(original, f, TransferSyntax(PELLA_JPEG_BASELINE), {}, coded, reason));
    }
    EXPECT_FALSE(CodecOf(PELLA_HTJ2K).Encode(original, f, TransferSyntax(PELLA_HTJ2K), {}, coded, reason));
}

TEST(FrameCodecs, TruncatedAndCorruptStreamsFailOrDecodeToTheAnnouncedSize) {
    const FrameFormat f = Format(48, 40, 3, 8, 8, false);
    std::vector<uint8_t> original = MakeFrame(f, 64);
    for (const char* uid :
         {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_2000_LOSSLESS, PELLA_JPEG_2000, PELLA_HTJ2K_LOSSLESS}) {
        const FrameCodec& codec = CodecOf(uid);
        CodedFrame coded;
        std::string reason;
        ASSERT_TRUE(codec.Encode(original, f, TransferSyntax(uid), {}, coded, reason)) << reason;
        const std::vector<uint8_t>& good = coded.bytes;
        for (std::size_t cut :
             {std::size_t{3}, std::size_t{30}, good.size() / 4, good.size() / 2, good.size() - 20}) {
            SCOPED_TRACE(std::string(uid) + " cut at " + std::to_string(cut));
            CodedFrame decoded;
            reason.clear();
            EXPECT_FALSE(codec.Decode(std::span(good).first(cut), coded.format, decoded, reason));
            EXPECT_FALSE(reason.empty());
        }
        // Bytes overwritten all through the stream: refused, or a frame of exactly the announced size.
        uint32_t seed = 7;
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> damaged = good;
            for (int k = 0; k < 1 + round % 4; ++k) {
                seed = seed * 1103515245u + 12345u;
                damaged[(seed >> 8) % damaged.size()] = static_cast<uint8_t>(seed >> 24);
            }
            CodedFrame decoded;
            if (codec.Decode(damaged, coded.format, decoded, reason)) {
                EXPECT_EQ(decoded.bytes.size(), f.FrameBytes()) << uid << " round " << round;
            }
        }
    }
}

namespace {

// `frame` with every sample written back as ReadSample sees it: the bits above bitsStored
// dropped or filled with the sign. What a lossless round trip must give back.
std::vector<uint8_t> Canonical(const std::vector<uint8_t>& frame, const FrameFormat& f) {
    std::vector<uint8_t> out(frame.size());
    std::size_t pixels = std::size_t{f.rows} * f.columns;
    for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p)
            WriteSample(out.data(), SampleOffset(f, p, c), ReadSample(frame.data(), SampleOffset(f, p, c), f),
                        f.bitsAllocated);
    return out;
}

std::vector<uint8_t> NoiseBytes(std::size_t size, uint32_t seed) {
    std::vector<uint8_t> out(size);
    for (auto& byte : out) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

}  // namespace

TEST(FrameCodecs, SampleRunsAndPlanesAgreeWithTheSampleBySampleReading) {
    const FrameFormat formats[] = {
        Format(5, 7, 1, 8, 8, false),         Format(5, 7, 1, 8, 5, true),
        Format(6, 3, 1, 16, 16, true),        Format(6, 3, 1, 16, 12, false),
        Format(6, 3, 1, 16, 11, true),        Format(4, 9, 1, 16, 8, false),
        Format(4, 9, 3, 8, 8, false),         Format(4, 9, 3, 8, 6, true, true),
        Format(3, 8, 3, 16, 10, true, false), Format(3, 8, 3, 16, 16, false, true),
    };
    for (const FrameFormat& f : formats) {
        SCOPED_TRACE(std::to_string(f.samplesPerPixel) + " x " + std::to_string(f.bitsStored) + "/" +
                     std::to_string(f.bitsAllocated) + (f.isSigned ? " signed" : "") +
                     (f.planar ? " planar" : ""));
        const std::vector<uint8_t> frame = NoiseBytes(f.FrameBytes(), f.bitsStored * 31 + f.samplesPerPixel);
        const std::vector<uint8_t> canonical = Canonical(frame, f);
        const std::size_t pixels = std::size_t{f.rows} * f.columns, count = pixels * f.samplesPerPixel;
        const unsigned bytes = f.bitsAllocated / 8;
        // Same width, into another buffer and in place: the canonical frame.
        std::vector<uint8_t> copied(frame.size()), inPlace = frame;
        CopySampleRun(frame.data(), bytes, copied.data(), bytes, f.bitsStored, f.isSigned, count);
        CopySampleRun(inPlace.data(), bytes, inPlace.data(), bytes, f.bitsStored, f.isSigned, count);
        EXPECT_EQ(copied, canonical);
        EXPECT_EQ(inPlace, canonical);
        // Into the other width and back.
        const unsigned other = bytes == 1 ? 2 : 1;
        if (f.bitsStored <= 8) {
            std::vector<uint8_t> narrow(count * other), back(frame.size());
            CopySampleRun(frame.data(), bytes, narrow.data(), other, f.bitsStored, f.isSigned, count);
            CopySampleRun(narrow.data(), other, back.data(), bytes, f.bitsStored, f.isSigned, count);
            EXPECT_EQ(back, canonical);
        }
        // One integer a pixel per component, read and written in either planar configuration.
        std::vector<uint8_t> rebuilt(frame.size(), 0xAA);
        std::vector<int32_t> plane(pixels);
        for (std::size_t c = 0; c < f.samplesPerPixel; ++c) {
            ReadComponentPlane(frame.data(), f, c, plane.data());
            for (std::size_t p = 0; p < pixels; ++p)
                ASSERT_EQ(plane[p], ReadSample(frame.data(), SampleOffset(f, p, c), f)) << "pixel " << p;
            WriteComponentPlane(plane.data(), f, c, rebuilt.data());
        }
        EXPECT_EQ(rebuilt, canonical);
    }
}

TEST(FrameCodecs, BitsAboveBitsStoredAreNotCodedAndComeBackAsTheSign) {
    // Native frames whose unused high bits hold noise: a lossless round trip gives every sample
    // back with those bits cleared (unsigned) or filled with the sign (signed).
    const FrameFormat formats[] = {
        Format(19, 23, 1, 16, 12, false), Format(19, 23, 1, 16, 12, true),
        Format(17, 21, 1, 16, 8, false),  Format(17, 21, 1, 8, 7, true),
        Format(16, 18, 1, 16, 16, true),  Format(15, 14, 3, 16, 10, false, true),
        Format(15, 14, 3, 8, 6, false),
    };
    for (const char* uid : {PELLA_JPEG_LS_LOSSLESS, PELLA_JPEG_2000_LOSSLESS, PELLA_HTJ2K_LOSSLESS}) {
        const FrameCodec& codec = CodecOf(uid);
        for (const FrameFormat& f : formats) {
            SCOPED_TRACE(std::string(uid) + ": " + std::to_string(f.samplesPerPixel) + " x " +
                         std::to_string(f.bitsStored) + "/" + std::to_string(f.bitsAllocated) +
                         (f.isSigned ? " signed" : "") + (f.planar ? " planar" : ""));
            const std::vector<uint8_t> noisy = NoiseBytes(f.FrameBytes(), f.rows * 7 + f.bitsStored);
            CodedFrame coded, decoded;
            std::string reason;
            ASSERT_TRUE(codec.Encode(noisy, f, TransferSyntax(uid), {}, coded, reason)) << reason;
            ASSERT_TRUE(codec.Decode(coded.bytes, coded.format, decoded, reason)) << reason;
            FrameFormat interleaved = f;
            interleaved.planar = false;
            ASSERT_EQ(decoded.format.planar, false);
            // Compared in the decoder's (interleaved) layout, byte for byte.
            std::vector<uint8_t> expected(f.FrameBytes());
            std::size_t pixels = std::size_t{f.rows} * f.columns;
            for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
                for (std::size_t p = 0; p < pixels; ++p)
                    WriteSample(expected.data(), SampleOffset(interleaved, p, c),
                                ReadSample(noisy.data(), SampleOffset(f, p, c), f), f.bitsAllocated);
            EXPECT_EQ(decoded.bytes, expected);
        }
    }
}
