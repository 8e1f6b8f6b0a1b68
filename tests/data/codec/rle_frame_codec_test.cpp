// The RLE codec: the byte-run coding against a known fixture, round trips over every sample
// size and layout through the registry, and hostile frames refused without reading or writing
// outside the buffers (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <functional>

#include "data/codec/codec_registry.h"
#include "data/codec/packbits.h"

using namespace pella;

namespace {

const TransferSyntax kRle(PELLA_RLE_LOSSLESS);

FrameFormat Format(uint16_t bits, uint16_t samples, bool planar = false) {
    FrameFormat f;
    f.rows = 7;
    f.columns = 300;  // runs longer than 128 and rows of odd length
    f.samplesPerPixel = samples;
    f.bitsAllocated = f.bitsStored = bits;
    f.planar = planar;
    f.photometric = samples == 3 ? "RGB" : "MONOCHROME2";
    return f;
}

// Flat runs, ramps and noise, so that both run kinds and their limits occur.
std::vector<uint8_t> Pixels(const FrameFormat& f) {
    std::vector<uint8_t> out(f.FrameBytes());
    uint32_t seed = 99;
    for (std::size_t i = 0; i < out.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        std::size_t zone = (i / 97) % 3;
        out[i] = zone == 0 ? 0x5A : zone == 1 ? static_cast<uint8_t>(i) : static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

}  // namespace

TEST(PackBits, CodesTheClassicExampleAndUnpacksIt) {
    const std::vector<uint8_t> row = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x80, 0x00,
                                      0x2A, 0x22, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    const std::vector<uint8_t> coded = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                                        0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
    std::vector<uint8_t> packed;
    PackBitsRow(row, packed);
    EXPECT_EQ(packed, coded);
    std::vector<uint8_t> unpacked(row.size());
    std::string reason;
    ASSERT_TRUE(UnpackBits(coded, unpacked, reason)) << reason;
    EXPECT_EQ(unpacked, row);
    // -128 is no operation; a padding byte after a full output is ignored.
    std::vector<uint8_t> noop = {0x80, 0x00, 0x07, 0x00}, one(1);
    ASSERT_TRUE(UnpackBits(noop, one, reason)) << reason;
    EXPECT_EQ(one[0], 0x07);
}

TEST(RleFrameCodec, RoundTripsEverySampleSizeAndLayout) {
    const FrameCodec* codec = FindFrameCodec(kRle);
    ASSERT_NE(codec, nullptr);
    ASSERT_TRUE(CanEncodeSyntax(kRle));
    for (uint16_t bits : {8, 16, 32}) {
        for (uint16_t samples : {1, 3}) {
            for (bool planar : {false, true}) {
                if (planar && samples == 1) continue;
                SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(samples) +
                             " samples, planar " + std::to_string(planar));
                FrameFormat f = Format(bits, samples, planar);
                std::vector<uint8_t> pixels = Pixels(f);
                CodedFrame coded, decoded;
                std::string reason;
                ASSERT_TRUE(codec->Encode(pixels, f, kRle, {}, coded, reason)) << reason;
                EXPECT_EQ(coded.bytes[0], samples * bits / 8);  // segment count
                EXPECT_EQ(coded.bytes.size() % 2, 0u);
                EXPECT_LT(coded.bytes.size(), pixels.size());
                ASSERT_TRUE(codec->Decode(coded.bytes, f, decoded, reason)) << reason;
                EXPECT_FALSE(decoded.format.planar);
                // Decoded colour is interleaved: compare against the interleaved original.
                std::vector<uint8_t> expected = pixels;
                if (planar) {
                    const std::size_t n = std::size_t{f.rows} * f.columns, b = bits / 8;
                    for (std::size_t p = 0; p < n; ++p)
                        for (std::size_t s = 0; s < 3; ++s)
                            for (std::size_t k = 0; k < b; ++k)
                                expected[(p * 3 + s) * b + k] = pixels[(s * n + p) * b + k];
                }
                EXPECT_EQ(decoded.bytes, expected);
            }
        }
    }
}

TEST(RleFrameCodec, HostileFramesAreRefused) {
    const FrameCodec& codec = *FindFrameCodec(kRle);
    FrameFormat f = Format(16, 1);
    std::vector<uint8_t> pixels = Pixels(f);
    CodedFrame good;
    std::string reason;
    ASSERT_TRUE(codec.Encode(pixels, f, kRle, {}, good, reason)) << reason;
    auto put32 = [](std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const uint32_t second = good.bytes[8] | good.bytes[9] << 8 | good.bytes[10] << 16;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
    };
    const Case cases[] = {
        {"no segments", [&](auto& b) { put32(b, 0, 0); }},
        {"too many segments", [&](auto& b) { put32(b, 0, 16); }},
        {"segments the image does not have", [&](auto& b) { put32(b, 0, 3); }},
        {"first offset inside the header", [&](auto& b) { put32(b, 4, 8); }},
        {"offset past the end", [&](auto& b) { put32(b, 8, 0x7FFFFFF0); }},
        {"offsets out of order", [&](auto& b) { put32(b, 8, 62); }},
        {"header cut", [&](auto& b) { b.resize(40); }},
        {"segment cut short", [&](auto& b) { b.resize(b.size() - 40); }},
        {"first segment cut by the second's offset", [&](auto& b) { put32(b, 8, second - 30); }},
        {"literal run past the end",
         [&](auto& b) {
             b.resize(second + 3);
             b[second] = 0x7F;
         }},
        {"repeat run past the output",
         [&](auto& b) {
             b.resize(second);
             for (int k = 0; k < 18; ++k) b.insert(b.end(), {0x81, 0x01});  // 18 * 128 > 2100 pixels
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good.bytes;
        c.spoil(bytes);
        CodedFrame out;
        reason.clear();
        EXPECT_FALSE(codec.Decode(bytes, f, out, reason)) << c.name;
        EXPECT_FALSE(reason.empty()) << c.name;
    }
    // A geometry far beyond what the bytes could code is refused before the frame is allocated.
    FrameFormat huge = f;
    huge.rows = huge.columns = 65535;
    CodedFrame out;
    EXPECT_FALSE(codec.Decode(good.bytes, huge, out, reason));
    EXPECT_TRUE(out.bytes.empty());
}
