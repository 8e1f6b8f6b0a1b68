// The page a print sends: decompressed and big-endian twins, JPEG and BMP files, refused files,
// and the Image Pixel module built from bitmaps (the pages of DICOM images against DCMTK's are in
// display_pipeline_test.cpp).
#include <gtest/gtest.h>

#include "imaging/print_image.h"
#include "support/png_pixels.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

PngPixels Render(const TempDir& dir, const std::string& file) {
    std::string png = dir.File("page.png");
    std::filesystem::remove(png);
    CommandResult run = RunCommand({PELLA_CLI_PATH, "render", file, png}, true);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    PngPixels page = ReadPng(png);
    EXPECT_TRUE(page.gray) << "the page is written as 8-bit gray";
    return page;
}

int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (std::size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
    return most;
}

}  // namespace

// JPEG lossless (DCMTK's dcmcjpeg), JPEG baseline colour and explicit big endian files print as
// their native twins (decoded by DCMTK's dcmdjpeg).
TEST(PrintImage, CompressedAndBigEndianFilesPrintAsTheirNativeTwins) {
    TempDir dir;
    std::string lossless = dir.File("ct_ll.dcm");
    ASSERT_TRUE(RunTool("dcmcjpeg +e1 " + Quote(PydicomFile("CT_small.dcm")) + " " + Quote(lossless)));
    std::string baseline = PydicomFile("SC_rgb_dcmtk_+eb+cr.dcm");
    std::string baselineTwin = dir.File("rgb_native.dcm");
    ASSERT_TRUE(RunTool("dcmdjpeg " + Quote(baseline) + " " + Quote(baselineTwin)));
    struct Case {
        std::string compressed, native;
        int tolerance;  // JPEG baseline decoders may differ by rounding
    };
    const Case cases[] = {
        {lossless, PydicomFile("CT_small.dcm"), 0},
        {PydicomFile("MR_small_bigendian.dcm"), PydicomFile("MR_small.dcm"), 0},
        {baseline, baselineTwin, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compressed);
        std::vector<uint8_t> twin = Render(dir, c.native).samples;
        PngPixels page = Render(dir, c.compressed);
        ASSERT_TRUE(page.ok);
        EXPECT_LE(MaxDifference(page.samples, twin), c.tolerance);
    }
}

// JPEG and BMP files by extension (written by DCMTK's dcmj2pnm); files that cannot be decoded
// fail with a line naming the kind, the file and the reason.
TEST(PrintImage, JpegAndBmpFilesAndTheirFailures) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    ASSERT_TRUE(RunTool("dcmj2pnm +op " + Quote(ct) + " " + Quote(dir.File("ct.pgm"))));
    ASSERT_TRUE(RunTool("dcmj2pnm +obt " + Quote(ct) + " " + Quote(dir.File("ct.BMP"))));
    ASSERT_TRUE(RunTool("dcmj2pnm +oj +Jq 100 " + Quote(ct) + " " + Quote(dir.File("ct.jpg"))));
    std::vector<uint8_t> pgm = ReadAll(dir.File("ct.pgm"));
    std::vector<uint8_t> reference(pgm.end() - 128 * 128, pgm.end());
    EXPECT_EQ(Render(dir, dir.File("ct.BMP")).samples, reference);
    EXPECT_LE(MaxDifference(Render(dir, dir.File("ct.jpg")).samples, reference), 8);

    std::vector<uint8_t> bmp = ReadAll(dir.File("ct.BMP"));
    struct Bad {
        std::string name;
        std::vector<uint8_t> bytes;
        std::string says;
    };
    const Bad bad[] = {
        {"broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'}, "ERROR: opening JPEG File: "},
        {"cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 2000), "ERROR: opening BMP File: "},
        {"mixed.Jpg", ReadAll(dir.File("ct.jpg")), "ERROR: opening DICOM File: "},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        std::string file = dir.Write(b.name, b.bytes);
        CommandResult run = RunCommand({PELLA_CLI_PATH, "render", file, dir.File("x.png")}, true);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.out.find(b.says + file + ": "), std::string::npos) << run.out;
        EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
    }
    CommandResult oneBit =
        RunCommand({PELLA_CLI_PATH, "render", PydicomFile("liver_1frame.dcm"), dir.File("x.png")}, true);
    EXPECT_EQ(oneBit.exitCode, 0) << oneBit.out;  // 1-bit segmentations are drawn
    EXPECT_TRUE(std::filesystem::exists(dir.File("x.png")));
}

TEST(PrintImage, PixelModuleIsEightBitMonochrome2WhateverTheBitmap) {
    struct Case {
        PixelFormat format;
        uint32_t width, height;
        std::vector<uint8_t> firstPixel;  // row bytes of pixel 0
        uint8_t gray;
    };
    const Case cases[] = {
        {PixelFormat::Gray8, 3, 3, {200}, 200},             // odd count: one pad byte
        {PixelFormat::Bgr24, 2, 2, {255, 0, 0}, 29},        // pure blue
        {PixelFormat::Bgrx32, 4, 1, {0, 255, 0, 77}, 150},  // pure green; the fourth byte dropped
    };
    for (const Case& c : cases) {
        Bitmap bitmap;
        bitmap.Reset(c.format, c.width, c.height);
        std::copy(c.firstPixel.begin(), c.firstPixel.end(), bitmap.Row(0));
        ElementList module;
        ASSERT_TRUE(BuildImagePixelModule(bitmap, module));
        ASSERT_EQ(module.size(), 9u);
        EXPECT_EQ(GetElementUS(module, 0x0028, 0x0002), 1);
        EXPECT_EQ(GetElementText(module, 0x0028, 0x0004), "MONOCHROME2");
        EXPECT_EQ(GetElementUS(module, 0x0028, 0x0010), c.height);
        EXPECT_EQ(GetElementUS(module, 0x0028, 0x0011), c.width);
        EXPECT_EQ(GetElementUS(module, 0x0028, 0x0100), 8);
        EXPECT_EQ(GetElementUS(module, 0x0028, 0x0102), 7);
        const DataElement* pixels = FindElement(module, 0x7FE0, 0x0010);
        ASSERT_NE(pixels, nullptr);
        std::size_t count = std::size_t{c.width} * c.height;
        ASSERT_EQ(static_cast<std::size_t>(pixels->length), count + count % 2);
        EXPECT_EQ(pixels->value[0], c.gray);
        EXPECT_EQ(pixels->value[1], 0);
        if (count % 2) {
            EXPECT_EQ(pixels->value[count], 0);
        }
    }
    // A colour palette goes out through its entries' luminance.
    Bitmap paletted;
    paletted.Reset(PixelFormat::Gray8, 2, 1);
    paletted.Palette()[5] = Rgb{255, 0, 0};
    paletted.Row(0)[0] = 5;
    ElementList module;
    ASSERT_TRUE(BuildImagePixelModule(paletted, module));
    EXPECT_EQ(FindElement(module, 0x7FE0, 0x0010)->value[0], 76);
    Bitmap empty;
    EXPECT_FALSE(BuildImagePixelModule(empty, module));
}
