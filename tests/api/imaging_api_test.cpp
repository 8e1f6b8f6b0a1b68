// The exported bitmap helpers, ECG2Bitmap, RenderPrintImage and CreateThumbnail as a C host
// calls them: sizes and formats refused, rows in range only, NULL arguments, and `pella ecg`.
#include <gtest/gtest.h>

#include <cstring>

#include "pella.h"
#include "support/png_pixels.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

TEST(BitmapApi, CreateRowsAndSave) {
    struct Case {
        int32_t width, height, bits;
        bool made;
    };
    const Case cases[] = {{3, 2, 8, true},    {3, 2, 24, true},     {3, 2, 32, true},
                          {0, 0, 8, true},    {3, 2, 16, false},    {-1, 2, 8, false},
                          {2, -1, 24, false}, {65536, 1, 8, false}, {65535, 65535, 32, false}};
    for (const Case& c : cases) {
        Bitmap* bitmap = CreateBitmap(c.width, c.height, c.bits);
        EXPECT_EQ(bitmap != nullptr, c.made) << c.width << "x" << c.height << "x" << c.bits;
        if (bitmap == nullptr) continue;
        EXPECT_EQ(BitmapWidth(bitmap), c.width);
        EXPECT_EQ(BitmapHeight(bitmap), c.height);
        EXPECT_EQ(BitmapFormat(bitmap), c.bits);
        EXPECT_EQ(BitmapRowBytes(bitmap), c.width * c.bits / 8);
        EXPECT_EQ(BitmapRow(bitmap, -1), nullptr);
        EXPECT_EQ(BitmapRow(bitmap, c.height), nullptr);
        if (c.height > 0) {
            EXPECT_EQ(BitmapRow(bitmap, c.height - 1)[0], 0);
        }
        FreeBitmap(bitmap);
    }
    TempDir dir;
    Bitmap* gray = CreateBitmap(4, 2, 8);
    BitmapRow(gray, 1)[3] = 200;
    ASSERT_EQ(SaveBitmapPNG(gray, dir.File("g.png").c_str()), 1);
    PngPixels png = ReadPng(dir.File("g.png"));
    ASSERT_TRUE(png.ok && png.gray);
    EXPECT_EQ(png.samples[7], 200);
    EXPECT_EQ(SaveBitmapBMP(gray, (dir.File("missing") + "/x.bmp").c_str()), 0);
    char reason[256];
    LastFailureText(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("x.bmp"), std::string::npos) << reason;
    EXPECT_EQ(SaveBitmapPNG(nullptr, dir.File("n.png").c_str()), 0);
    EXPECT_EQ(SaveBitmapPNG(gray, nullptr), 0);
    FreeBitmap(gray);
    FreeBitmap(nullptr);
    EXPECT_EQ(BitmapWidth(nullptr), 0);
}

TEST(ImagingApi, NullArgumentsAndAPrintPreview) {
    Bitmap* bitmap = CreateBitmap(10, 10, 24);
    EXPECT_EQ(ECG2Bitmap(nullptr, nullptr), 0);
    EXPECT_EQ(ECG2Bitmap(bitmap, nullptr), 0);
    EXPECT_EQ(RenderPrintImage(nullptr, bitmap), 0);
    EXPECT_EQ(RenderPrintImage(PydicomFile("CT_small.dcm").c_str(), nullptr), 0);
    EXPECT_EQ(CreateThumbnail(nullptr, PydicomFile("CT_small.dcm").c_str(), 64), 0);
    ASSERT_EQ(RenderPrintImage(PydicomFile("MR_small.dcm").c_str(), bitmap), 1);
    EXPECT_EQ(BitmapWidth(bitmap), 64);
    EXPECT_EQ(BitmapFormat(bitmap), 8);
    EXPECT_EQ(RenderPrintImage(PydicomFile("waveform_ecg.dcm").c_str(), bitmap), 0);
    EXPECT_EQ(BitmapWidth(bitmap), 64) << "a failed call leaves the bitmap as it was";
    FreeBitmap(bitmap);
}

// RenderImage and WriteThumbnail: NULL options are the defaults RenderPrintImage uses; a frame
// the image lacks and an unknown VOI choice fail with their reason.
TEST(ImagingApi, DisplayOptions) {
    std::string mr = PydicomFile("MR_small.dcm");
    Bitmap* preview = CreateBitmap(1, 1, 8);
    Bitmap* rendered = CreateBitmap(1, 1, 8);
    ASSERT_EQ(RenderPrintImage(mr.c_str(), preview), 1);
    ASSERT_EQ(RenderImage(mr.c_str(), rendered, nullptr), 1);
    for (int32_t row = 0; row < BitmapHeight(preview); ++row)
        ASSERT_EQ(std::memcmp(BitmapRow(preview, row), BitmapRow(rendered, row), 64), 0);
    ImageDisplayOptions options{PELLA_VOI_MIN_MAX, 0, 0, 2};
    char reason[256];
    EXPECT_EQ(RenderImage(mr.c_str(), rendered, &options), 0);
    LastFailureText(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("frame 2 was asked for"), std::string::npos) << reason;
    options = {7, 0, 0, 1};
    TempDir dir;
    EXPECT_EQ(WriteThumbnail(dir.File("t.png").c_str(), mr.c_str(), 32, &options), 0);
    LastFailureText(reason, sizeof reason);
    EXPECT_NE(std::string(reason).find("unknown VOI choice 7"), std::string::npos) << reason;
    EXPECT_FALSE(std::filesystem::exists(dir.File("t.png")));
    EXPECT_EQ(WriteThumbnail(nullptr, mr.c_str(), 32, nullptr), 0);
    EXPECT_EQ(RenderImage(mr.c_str(), nullptr, nullptr), 0);
    FreeBitmap(preview);
    FreeBitmap(rendered);
}

TEST(EcgCommand, WritesThePageAndRefusesOtherObjects) {
    TempDir dir;
    std::string out = dir.File("page.png");
    CommandResult run = RunCommand(
        {PELLA_CLI_PATH, "ecg", PydicomFile("waveform_ecg.dcm"), out, "--width", "640", "--height", "480"},
        true);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    PngPixels page = ReadPng(out, PNG_FORMAT_RGB);
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.width, 640u);
    EXPECT_EQ(page.height, 480u);
    CommandResult image =
        RunCommand({PELLA_CLI_PATH, "ecg", PydicomFile("CT_small.dcm"), dir.File("ct.png")}, true);
    EXPECT_EQ(image.exitCode, 1);
    EXPECT_NE(image.out.find("the modality 'CT' is not ECG, HD or AU"), std::string::npos) << image.out;
    EXPECT_FALSE(std::filesystem::exists(dir.File("ct.png")));
    CommandResult name =
        RunCommand({PELLA_CLI_PATH, "ecg", PydicomFile("waveform_ecg.dcm"), dir.File("p.gif")}, true);
    EXPECT_EQ(name.exitCode, 2);
}
