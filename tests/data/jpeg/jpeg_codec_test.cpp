// The JPEG codec glue: lossless round trips in all three builds, baseline quality, frames made
// by other systems (pydicom's samples, DCMTK's dcmcjpeg) against DCMTK's own decoder, and
// frames that must be refused without writing past the caller's buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "data/jpeg/jpeg_codec.h"
#include "support/pixel_files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PixelFile;
using testing_support::PydicomFile;
using testing_support::ReadPixelFile;
using testing_support::RunTool;
using testing_support::TempDir;

namespace {

// Samples of `bits` significant bits: a gradient with pseudo-random noise, as raw bytes
// (16-bit samples little endian).
std::vector<uint8_t> MakeFrame(const JpegFrameShape& shape, unsigned bits, unsigned noise) {
    std::size_t bytesPerSample = bits > 8 ? 2 : 1;
    std::vector<uint8_t> out(JpegFrameBytes(shape, bytesPerSample));
    uint32_t seed = 12345;
    uint32_t maxValue = (1u << bits) - 1;
    std::size_t samples = out.size() / bytesPerSample;
    for (std::size_t i = 0; i < samples; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::size_t x = (i / shape.components) % shape.columns;
        std::size_t y = i / shape.components / shape.columns;
        uint32_t value = static_cast<uint32_t>((x * 3 + y * 5 + (i % shape.components) * 40) * maxValue /
                                               (shape.columns * 3 + shape.rows * 5 + 80));
        if (noise > 0) value += (seed >> 16) % noise;
        if (value > maxValue) value = maxValue;
        out[i * bytesPerSample] = static_cast<uint8_t>(value & 0xFF);
        if (bytesPerSample == 2) out[i * bytesPerSample + 1] = static_cast<uint8_t>(value >> 8);
    }
    return out;
}

using Decoder = bool (*)(const uint8_t*, std::size_t, const JpegFrameShape&, uint8_t*, std::size_t);

Decoder DecoderFor(unsigned bits) {
    return bits == 8 ? JpegDecode8 : bits == 12 ? JpegDecode12 : JpegDecode16;
}

std::vector<uint8_t> EncodeLossless(unsigned bits, const std::vector<uint8_t>& pixels,
                                    const JpegFrameShape& shape) {
    if (bits == 8) return JpegEncode8(pixels.data(), pixels.size(), shape, JpegMode::Lossless);
    if (bits == 12) return JpegEncode12(pixels.data(), pixels.size(), shape);
    return JpegEncode16(pixels.data(), pixels.size(), shape);
}

double MeanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
    return sum / static_cast<double>(a.size());
}

constexpr uint8_t kCanary = 0xA5;

// A destination of the frame's size plus a guard area, all set to the canary.
std::vector<uint8_t> GuardedBuffer(std::size_t frameBytes) {
    return std::vector<uint8_t>(frameBytes + 64, kCanary);
}

bool GuardIntact(const std::vector<uint8_t>& buffer, std::size_t from) {
    for (std::size_t i = from; i < buffer.size(); ++i)
        if (buffer[i] != kCanary) return false;
    return true;
}

}  // namespace

TEST(JpegCodec, LosslessRoundTripsAreExactInEveryBuild) {
    struct Case {
        unsigned bits;
        JpegFrameShape shape;
    };
    const Case cases[] = {
        {8, {37, 23, 1}},
        {8, {40, 17, 3}},
        {12, {33, 21, 1}},
        {16, {31, 29, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + " components " + std::to_string(c.shape.components));
        std::vector<uint8_t> pixels = MakeFrame(c.shape, c.bits, 1u << (c.bits - 2));
        std::vector<uint8_t> compressed = EncodeLossless(c.bits, pixels, c.shape);
        ASSERT_GT(compressed.size(), 4u);
        EXPECT_EQ(compressed[0], 0xFF);
        EXPECT_EQ(compressed[1], 0xD8);  // SOI
        std::vector<uint8_t> decoded = GuardedBuffer(pixels.size());
        ASSERT_TRUE(DecoderFor(c.bits)(compressed.data(), compressed.size(), c.shape, decoded.data(),
                                       decoded.size()));
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), decoded.begin()));
        EXPECT_TRUE(GuardIntact(decoded, pixels.size()));
    }
}

TEST(JpegCodec, FullRangeSixteenBitSamplesSurvive) {
    JpegFrameShape shape{16, 16, 1};
    std::vector<uint8_t> pixels(JpegFrameBytes(shape, 2));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 3 ? 0xFF : 0x00);
    std::vector<uint8_t> compressed = JpegEncode16(pixels.data(), pixels.size(), shape);
    std::vector<uint8_t> decoded(pixels.size());
    ASSERT_TRUE(JpegDecode16(compressed.data(), compressed.size(), shape, decoded.data(), decoded.size()));
    EXPECT_EQ(decoded, pixels);
}

TEST(JpegCodec, FrameLargerThanTheWorkBufferArrivesWhole) {
    JpegFrameShape shape{256, 256, 1};
    std::vector<uint8_t> pixels = MakeFrame(shape, 8, 256);  // noise: compresses poorly
    std::vector<uint8_t> compressed = JpegEncode8(pixels.data(), pixels.size(), shape, JpegMode::Lossless);
    ASSERT_GT(compressed.size(), 3u * 16384);
    EXPECT_EQ(compressed[compressed.size() - 2], 0xFF);
    EXPECT_EQ(compressed[compressed.size() - 1], 0xD9);  // EOI at the very end
    std::vector<uint8_t> decoded(pixels.size());
    ASSERT_TRUE(JpegDecode8(compressed.data(), compressed.size(), shape, decoded.data(), decoded.size()));
    EXPECT_EQ(decoded, pixels);
}

TEST(JpegCodec, BaselineStaysCloseToTheOriginal) {
    for (uint32_t components : {1u, 3u}) {
        JpegFrameShape shape{64, 48, components};
        std::vector<uint8_t> pixels = MakeFrame(shape, 8, 0);
        std::vector<uint8_t> compressed =
            JpegEncode8(pixels.data(), pixels.size(), shape, JpegMode::Baseline);
        EXPECT_LT(compressed.size(), pixels.size() / 2);
        std::vector<uint8_t> decoded(pixels.size());
        ASSERT_TRUE(JpegDecode8(compressed.data(), compressed.size(), shape, decoded.data(), decoded.size()));
        EXPECT_NE(decoded, pixels);  // lossy
        EXPECT_LT(MeanAbsoluteDifference(decoded, pixels), 2.5) << components << " components";
    }
}

TEST(JpegCodec, EncodersRefuseUnknownModesAndBadInput) {
    JpegFrameShape shape{8, 8, 1};
    std::vector<uint8_t> pixels(128, 0);
    EXPECT_THROW(JpegEncode8(pixels.data(), pixels.size(), shape, static_cast<JpegMode>(2)),
                 std::invalid_argument);
    EXPECT_THROW(JpegEncode8(pixels.data(), 63, shape, JpegMode::Lossless), std::invalid_argument);
    EXPECT_THROW(JpegEncode8(pixels.data(), pixels.size(), {8, 8, 2}, JpegMode::Lossless),
                 std::invalid_argument);
    EXPECT_THROW(JpegEncode16(pixels.data(), pixels.size(), {0, 8, 1}), std::invalid_argument);
    pixels[7] = 0x10;  // sample 3 = 0x1000: above 12 bits
    EXPECT_THROW(JpegEncode12(pixels.data(), pixels.size(), shape), std::invalid_argument);
    pixels[7] = 0x0F;
    EXPECT_NO_THROW(JpegEncode12(pixels.data(), pixels.size(), shape));
}

TEST(JpegCodec, TruncatedOrCorruptStreamsFailWithoutOverrun) {
    JpegFrameShape shape{48, 40, 3};
    std::vector<uint8_t> pixels = MakeFrame(shape, 8, 64);
    for (JpegMode mode : {JpegMode::Lossless, JpegMode::Baseline}) {
        std::vector<uint8_t> good = JpegEncode8(pixels.data(), pixels.size(), shape, mode);
        for (std::size_t cut :
             {std::size_t{2}, std::size_t{20}, good.size() / 3, good.size() / 2, good.size() - 40}) {
            SCOPED_TRACE("cut at " + std::to_string(cut));
            std::vector<uint8_t> decoded = GuardedBuffer(pixels.size());
            EXPECT_FALSE(JpegDecode8(good.data(), cut, shape, decoded.data(), decoded.size()));
            EXPECT_TRUE(GuardIntact(decoded, pixels.size()));
        }
        // A marker in the middle of the entropy-coded data.
        std::vector<uint8_t> marked = good;
        marked[good.size() / 2] = 0xFF;
        marked[good.size() / 2 + 1] = 0xD9;
        std::vector<uint8_t> decoded = GuardedBuffer(pixels.size());
        EXPECT_FALSE(JpegDecode8(marked.data(), marked.size(), shape, decoded.data(), decoded.size()));
        EXPECT_TRUE(GuardIntact(decoded, pixels.size()));
    }
    std::vector<uint8_t> garbage(500);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 7 + 3);
    std::vector<uint8_t> decoded = GuardedBuffer(pixels.size());
    EXPECT_FALSE(JpegDecode8(garbage.data(), garbage.size(), shape, decoded.data(), decoded.size()));
    EXPECT_FALSE(JpegDecode8(nullptr, 0, shape, decoded.data(), decoded.size()));
    EXPECT_TRUE(GuardIntact(decoded, 0));
}

TEST(JpegCodec, FramesThatDisagreeWithTheAnnouncedGeometryAreRefused) {
    JpegFrameShape shape{30, 20, 1};
    std::vector<uint8_t> pixels = MakeFrame(shape, 16, 0);
    std::vector<uint8_t> sixteen = JpegEncode16(pixels.data(), pixels.size(), shape);
    std::vector<uint8_t> gray8 = MakeFrame(shape, 8, 0);
    std::vector<uint8_t> eight = JpegEncode8(gray8.data(), gray8.size(), shape, JpegMode::Lossless);

    std::vector<uint8_t> big = GuardedBuffer(64 * 64 * 3 * 2);
    const JpegFrameShape wrong[] = {{30, 21, 1}, {31, 20, 1}, {30, 19, 1}, {30, 20, 3}};
    for (const JpegFrameShape& w : wrong) {
        EXPECT_FALSE(JpegDecode16(sixteen.data(), sixteen.size(), w, big.data(), big.size()));
        EXPECT_FALSE(JpegDecode8(eight.data(), eight.size(), w, big.data(), big.size()));
    }
    // Precision: 16-bit samples cannot go through the 12- or 8-bit decoder.
    EXPECT_FALSE(JpegDecode12(sixteen.data(), sixteen.size(), shape, big.data(), big.size()));
    EXPECT_FALSE(JpegDecode8(sixteen.data(), sixteen.size(), shape, big.data(), big.size()));
    EXPECT_TRUE(GuardIntact(big, 0));
    // A destination smaller than the frame is refused before decoding.
    EXPECT_FALSE(JpegDecode16(sixteen.data(), sixteen.size(), shape, big.data(), pixels.size() - 1));
    EXPECT_TRUE(GuardIntact(big, 0));
    std::vector<uint8_t> decoded(pixels.size());
    EXPECT_TRUE(JpegDecode16(sixteen.data(), sixteen.size(), shape, decoded.data(), decoded.size()));
}

// ---- Against DCMTK and pydicom's samples --------------------------------------------------

namespace {

struct Decoded {
    bool ok = false;
    std::vector<uint8_t> pixels;
};

Decoded DecodeFirstFrame(const PixelFile& file, Decoder decoder, std::size_t bytesPerSample) {
    Decoded out;
    out.pixels.resize(JpegFrameBytes(file.shape, bytesPerSample));
    out.ok = !file.frames.empty() && decoder(file.frames[0].data(), file.frames[0].size(), file.shape,
                                             out.pixels.data(), out.pixels.size());
    return out;
}

// The native pixels DCMTK's decoder makes of `file`.
std::vector<uint8_t> DcmtkDecoded(const TempDir& dir, const std::string& file) {
    std::string out = dir.File("dcmdjpeg.dcm");
    if (!RunTool("dcmdjpeg '" + file + "' '" + out + "'")) return {};
    return ReadPixelFile(out).native;
}

}  // namespace

TEST(JpegCodecAgainstDcmtk, PydicomSamplesDecodeAsDcmdjpegDecodesThem) {
    struct Sample {
        const char* name;
        Decoder decoder;
        std::size_t bytesPerSample;
    };
    const Sample samples[] = {
        {"JPGExtended.dcm", JpegDecode12, 2},  // 12-bit extended, lossy
        {"JPEG-lossy.dcm", JpegDecode12, 2},
        {"SC_rgb_jpeg_dcmtk.dcm", JpegDecode8, 1},       // baseline YCbCr
        {"SC_rgb_dcmtk_+eb+cy+s2.dcm", JpegDecode8, 1},  // 4:2:2 subsampled
        {"SC_rgb_jpeg_gdcm.dcm", JpegDecode8, 1},        // lossless RGB from another encoder
        {"SC_rgb_small_odd_jpeg.dcm", JpegDecode8, 1},   // 3 x 3 pixels
    };
    TempDir dir;
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        std::string file = PydicomFile(s.name);
        PixelFile pixelFile = ReadPixelFile(file);
        ASSERT_TRUE(pixelFile.ok);
        Decoded ours = DecodeFirstFrame(pixelFile, s.decoder, s.bytesPerSample);
        ASSERT_TRUE(ours.ok);
        std::vector<uint8_t> theirs = DcmtkDecoded(dir, file);
        ASSERT_EQ((theirs.size() + 1) / 2 * 2, (ours.pixels.size() + 1) / 2 * 2);  // odd: padded
        EXPECT_TRUE(std::equal(ours.pixels.begin(), ours.pixels.end(), theirs.begin()));
    }
}

TEST(JpegCodecAgainstDcmtk, DcmcjpegLosslessFramesDecodeToTheOriginalPixels) {
    struct Source {
        const char* name;
        const char* options;
        Decoder decoder;
        std::size_t bytesPerSample;
    };
    const Source sources[] = {
        {"CT_small.dcm", "+e1", JpegDecode16, 2},
        {"MR_small.dcm", "+el", JpegDecode16, 2},  // predictor 6
        {"SC_rgb_jpeg_dcmd.dcm", "+e1", JpegDecode8, 1},
        {"SC_rgb_small_odd.dcm", "+e1", JpegDecode8, 1},
    };
    TempDir dir;
    for (const Source& s : sources) {
        SCOPED_TRACE(std::string(s.name) + " " + s.options);
        std::string original = PydicomFile(s.name);
        std::string compressed = dir.File("lossless.dcm");
        ASSERT_TRUE(
            RunTool(std::string("dcmcjpeg ") + s.options + " '" + original + "' '" + compressed + "'"));
        PixelFile jpeg = ReadPixelFile(compressed);
        ASSERT_TRUE(jpeg.ok);
        Decoded ours = DecodeFirstFrame(jpeg, s.decoder, s.bytesPerSample);
        ASSERT_TRUE(ours.ok);
        std::vector<uint8_t> native = ReadPixelFile(original).native;
        ASSERT_GE(native.size(), ours.pixels.size());
        EXPECT_TRUE(std::equal(ours.pixels.begin(), ours.pixels.end(), native.begin()));
    }
}

TEST(JpegCodecAgainstDcmtk, TwelveBitSamplesLosslessFromDcmcjpeg) {
    // JPGExtended's 12-bit samples, unpacked by DCMTK and compressed losslessly again: DCMTK
    // codes them with 16-bit precision, which only the 16-bit decoder may take.
    TempDir dir;
    std::string native = dir.File("native.dcm");
    std::string lossless = dir.File("lossless.dcm");
    ASSERT_TRUE(RunTool("dcmdjpeg '" + PydicomFile("JPGExtended.dcm") + "' '" + native + "'"));
    ASSERT_TRUE(RunTool("dcmcjpeg +e1 '" + native + "' '" + lossless + "'"));
    PixelFile jpeg = ReadPixelFile(lossless);
    ASSERT_TRUE(jpeg.ok);
    std::vector<uint8_t> expected = ReadPixelFile(native).native;
    Decoded ours = DecodeFirstFrame(jpeg, JpegDecode16, 2);
    ASSERT_TRUE(ours.ok);
    EXPECT_EQ(ours.pixels, expected);
    EXPECT_FALSE(DecodeFirstFrame(jpeg, JpegDecode12, 2).ok);
    Decoded eightBit = DecodeFirstFrame(jpeg, JpegDecode8, 1);
    EXPECT_FALSE(eightBit.ok);
}

namespace {

void AddUS(ElementList& list, uint16_t element, uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    list.Append(NewElement(0x0028, element, 2, bytes, "US"));
}

void AddText(ElementList& list, uint16_t group, uint16_t element, std::string text, const char* vr) {
    if (text.size() % 2) text.push_back(vr[0] == 'U' && vr[1] == 'I' ? '\0' : ' ');
    list.Append(NewElement(group, element, static_cast<int32_t>(text.size()), text.data(), vr));
}

// A secondary capture image whose one frame is `compressed`, in JPEG lossless.
std::string WriteLosslessFile(const TempDir& dir, const JpegFrameShape& shape, unsigned bits,
                              std::vector<uint8_t> compressed) {
    ElementList data;
    AddText(data, 0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7", "UI");
    AddText(data, 0x0008, 0x0018, "1.2.826.0.1.3680043.2.7777.1.1", "UI");
    AddUS(data, 0x0002, static_cast<uint16_t>(shape.components));
    AddText(data, 0x0028, 0x0004, shape.components == 3 ? "RGB" : "MONOCHROME2", "CS");
    if (shape.components == 3) AddUS(data, 0x0006, 0);
    AddUS(data, 0x0010, static_cast<uint16_t>(shape.rows));
    AddUS(data, 0x0011, static_cast<uint16_t>(shape.columns));
    AddUS(data, 0x0100, bits > 8 ? 16 : 8);
    AddUS(data, 0x0101, static_cast<uint16_t>(bits));
    AddUS(data, 0x0102, static_cast<uint16_t>(bits - 1));
    AddUS(data, 0x0103, 0);
    if (compressed.size() % 2) compressed.push_back(0);
    data.Append(NewElement(0x7FE0, 0x0010, -1, nullptr, "OB"));
    data.Append(NewElement(0xFFFE, 0xE000, 0, nullptr, "DL"));
    data.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(compressed.size()), compressed.data(), "DL"));
    data.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    ElementList meta;
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.826.0.1.3680043.2.7777.1.1",
                    "1.2.840.10008.1.2.4.70", true);
    std::string file = dir.File("ours.dcm");
    return WritePart10File(file, &meta, data, true, false) ? file : "";
}

}  // namespace

TEST(JpegCodecAgainstDcmtk, OurLosslessFramesDecodeInDcmdjpeg) {
    struct Case {
        unsigned bits;
        JpegFrameShape shape;
    };
    const Case cases[] = {{8, {41, 27, 1}}, {8, {40, 30, 3}}, {12, {33, 20, 1}}, {16, {32, 24, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + ", components " + std::to_string(c.shape.components));
        TempDir dir;
        std::vector<uint8_t> pixels = MakeFrame(c.shape, c.bits, 1u << (c.bits - 3));
        std::string file = WriteLosslessFile(dir, c.shape, c.bits, EncodeLossless(c.bits, pixels, c.shape));
        ASSERT_FALSE(file.empty());
        std::vector<uint8_t> theirs = DcmtkDecoded(dir, file);
        ASSERT_EQ(theirs.size(), (pixels.size() + 1) / 2 * 2);  // odd lengths padded
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), theirs.begin()));
    }
}
