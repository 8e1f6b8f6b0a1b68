// The bitmap's files: BMP files written by DCMTK read back pixel for pixel, BMP files lying
// about their layout refused, PNG and JPEG through libpng and libjpeg-turbo.
#include <png.h>

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/bitmap.h"
#include "imaging/bitmap_bmp.h"
#include "imaging/bitmap_jpeg.h"
#include "imaging/bitmap_png.h"
#include "support/netpbm.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

// The gray level of every pixel of the bitmap, rows top-down.
std::vector<uint8_t> GrayLevels(const Bitmap& bitmap) {
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < bitmap.Height(); ++y)
        for (uint32_t x = 0; x < bitmap.Width(); ++x) {
            Rgb c = bitmap.PixelColour(x, y);
            EXPECT_TRUE(c.red == c.green && c.green == c.blue);
            out.push_back(c.red);
        }
    return out;
}

Bitmap TestPattern(PixelFormat format, uint32_t width, uint32_t height) {
    Bitmap bitmap;
    bitmap.Reset(format, width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (std::size_t i = 0; i < bitmap.RowBytes(); ++i)
            bitmap.Row(y)[i] = static_cast<uint8_t>(y * 31 + i * 7);
    return bitmap;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Format() != b.Format() || a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (uint32_t y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), a.RowBytes()) != 0) return false;
    return true;
}

}  // namespace

TEST(BitmapFiles, ReadsDcmtkBmpFilesOfEveryDepthAsItsPgm) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    ASSERT_TRUE(RunTool("dcmj2pnm +op " + Quote(ct) + " " + Quote(dir.File("ref.pgm"))));
    Netpbm reference = ReadNetpbm(dir.File("ref.pgm"));
    ASSERT_TRUE(reference.ok);
    for (const char* option : {"+obp", "+obt", "+obr"}) {
        SCOPED_TRACE(option);
        std::string bmp = dir.File(std::string(option + 1) + ".bmp");
        ASSERT_TRUE(RunTool(std::string("dcmj2pnm ") + option + " " + Quote(ct) + " " + Quote(bmp)));
        Bitmap bitmap;
        std::string reason;
        ASSERT_TRUE(ReadBmpFile(bmp, bitmap, reason)) << reason;
        EXPECT_EQ(static_cast<int>(bitmap.Format()), option == std::string("+obp")   ? 8
                                                     : option == std::string("+obt") ? 24
                                                                                     : 32);
        EXPECT_EQ(bitmap.Width(), static_cast<uint32_t>(reference.width));
        EXPECT_EQ(bitmap.Height(), static_cast<uint32_t>(reference.height));
        EXPECT_EQ(GrayLevels(bitmap), reference.samples);
    }
}

TEST(BitmapFiles, BmpRoundTripInEveryFormatAndImg2dcmReadsIt) {
    TempDir dir;
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::Bgr24, PixelFormat::Bgrx32}) {
        Bitmap written = TestPattern(format, 13, 7);  // odd width: padded rows
        if (format == PixelFormat::Gray8) written.Palette()[3] = Rgb{10, 20, 30};
        std::string file = dir.File("round.bmp"), reason;
        ASSERT_TRUE(WriteBmpFile(file, written, reason)) << reason;
        Bitmap read;
        ASSERT_TRUE(ReadBmpFile(file, read, reason)) << reason;
        EXPECT_TRUE(SamePixels(written, read)) << static_cast<int>(format);
        EXPECT_EQ(read.Palette()[3].blue, format == PixelFormat::Gray8 ? 30 : 3);
    }
    // DCMTK reads a 24-bit file of ours: its pixels come back as the same RGB samples.
    Bitmap colour = TestPattern(PixelFormat::Bgr24, 16, 8);
    std::string reason;
    ASSERT_TRUE(WriteBmpFile(dir.File("c.bmp"), colour, reason));
    ASSERT_TRUE(RunTool("img2dcm -i BMP " + Quote(dir.File("c.bmp")) + " " + Quote(dir.File("c.dcm"))));
    ASSERT_TRUE(RunTool("dcmj2pnm +op " + Quote(dir.File("c.dcm")) + " " + Quote(dir.File("c.ppm"))));
    Netpbm ppm = ReadNetpbm(dir.File("c.ppm"));
    ASSERT_TRUE(ppm.ok);
    ASSERT_EQ(ppm.channels, 3);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            Rgb c = colour.PixelColour(x, y);
            const uint8_t* p = &ppm.samples[(y * 16 + x) * 3];
            ASSERT_EQ(p[0], c.red);
            ASSERT_EQ(p[1], c.green);
            ASSERT_EQ(p[2], c.blue);
        }
}

TEST(BitmapFiles, BmpHeadersThatLieAreRefused) {
    Bitmap valid = TestPattern(PixelFormat::Gray8, 5, 4);
    TempDir dir;
    std::string reason;
    ASSERT_TRUE(WriteBmpFile(dir.File("valid.bmp"), valid, reason));
    const std::vector<uint8_t> good = ReadAll(dir.File("valid.bmp"));
    auto put32 = [](std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    struct Case {
        const char* name;
        std::size_t at;
        uint32_t value;
        bool is16;
    };
    const Case cases[] = {
        {"magic", 0, 0x4D41, true},
        {"info size past end", 14, 0x7FFFFFF0, false},
        {"width 0", 18, 0, false},
        {"negative width", 18, 0xFFFFFFFB, false},
        {"huge height", 22, 0x7FFFFFFF, false},
        {"most negative height", 22, 0x80000000, false},
        {"taller than the file", 22, 400, false},
        {"depth 16", 28, 16, true},
        {"depth 0", 28, 0, true},
        {"run-length compression", 30, 1, false},
        {"palette of 1000", 46, 1000, false},
        {"offset past end", 10, 0x7FFFFFFF, false},
        {"offset into headers", 10, 20, false},
        {"planes 2", 26, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        if (c.is16) {
            bytes[c.at] = static_cast<uint8_t>(c.value);
            bytes[c.at + 1] = static_cast<uint8_t>(c.value >> 8);
        } else {
            put32(bytes, c.at, c.value);
        }
        Bitmap untouched = TestPattern(PixelFormat::Bgr24, 2, 2);
        reason.clear();
        EXPECT_FALSE(ReadBmpFile(dir.Write("bad.bmp", bytes), untouched, reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_TRUE(SamePixels(untouched, TestPattern(PixelFormat::Bgr24, 2, 2)));
    }
    // Every truncation of the file is refused (never read past the end; the sanitizer build
    // checks the reads).
    for (std::size_t size = 0; size < good.size(); ++size) {
        Bitmap bitmap;
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_FALSE(ReadBmpFile(dir.Write("cut.bmp", cut), bitmap, reason)) << size;
    }
}

TEST(BitmapFiles, PngReadsBackThroughLibpng) {
    TempDir dir;
    for (PixelFormat format : {PixelFormat::Gray8, PixelFormat::Bgr24, PixelFormat::Bgrx32}) {
        Bitmap bitmap = TestPattern(format, 9, 5);
        std::string reason;
        ASSERT_TRUE(WritePngFile(dir.File("p.png"), bitmap, reason)) << reason;
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.File("p.png").c_str()));
        EXPECT_EQ(image.format, format == PixelFormat::Gray8 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB);
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
        ASSERT_EQ(image.width, 9u);
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 9; ++x) {
                Rgb c = bitmap.PixelColour(x, y);
                const uint8_t* p = &rgb[(y * 9 + x) * 3];
                ASSERT_TRUE(p[0] == c.red && p[1] == c.green && p[2] == c.blue) << x << "," << y;
            }
    }
}

TEST(BitmapFiles, JpegOfDcmtkDecodesCloseToItsPgmAndDamageIsRefused) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    ASSERT_TRUE(RunTool("dcmj2pnm +op " + Quote(ct) + " " + Quote(dir.File("ref.pgm"))));
    ASSERT_TRUE(RunTool("dcmj2pnm +oj +Jq 100 " + Quote(ct) + " " + Quote(dir.File("ct.jpg"))));
    Netpbm reference = ReadNetpbm(dir.File("ref.pgm"));
    Bitmap bitmap;
    std::string reason;
    ASSERT_TRUE(ReadJpegFile(dir.File("ct.jpg"), bitmap, reason)) << reason;
    ASSERT_EQ(bitmap.Format(), PixelFormat::Gray8);
    std::vector<uint8_t> gray = GrayLevels(bitmap);
    ASSERT_EQ(gray.size(), reference.samples.size());
    long total = 0;
    for (std::size_t i = 0; i < gray.size(); ++i) total += std::abs(gray[i] - reference.samples[i]);
    EXPECT_LT(static_cast<double>(total) / static_cast<double>(gray.size()), 2.0);

    // Our encoder's output decodes to the same size; a truncated stream is refused.
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(EncodeJpeg(bitmap, 60, encoded, reason)) << reason;
    Bitmap again;
    ASSERT_TRUE(DecodeJpeg(encoded.data(), encoded.size(), again, reason)) << reason;
    EXPECT_EQ(again.Width(), bitmap.Width());
    for (std::size_t cut : {std::size_t{0}, std::size_t{2}, encoded.size() / 2}) {
        Bitmap untouched;
        reason.clear();
        EXPECT_FALSE(DecodeJpeg(encoded.data(), cut, untouched, reason)) << cut;
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(untouched.Width(), 0u);
    }
}
