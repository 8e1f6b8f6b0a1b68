// Thumbnails: real images (pydicom's samples and variants made by the test) decoded back by
// libjpeg-turbo and compared with DCMTK's dcmj2pnm, the faults of the drawing made with
// hand-built images, compressed twins, and the folder mode of `pella thumbnail`.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/io/meta_header.h"
#include "imaging/bitmap_jpeg.h"
#include "imaging/image_variants.h"
#include "imaging/thumbnail.h"
#include "support/data_set_builder.h"
#include "support/netpbm.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

Bitmap DecodedThumbnail(const std::string& jpegFile) {
    Bitmap bitmap;
    std::string reason;
    std::vector<uint8_t> bytes = ReadAll(jpegFile);
    EXPECT_TRUE(DecodeJpeg(bytes.data(), bytes.size(), bitmap, reason)) << jpegFile << ": " << reason;
    return bitmap;
}

// The drawn bitmap, before JPEG coding, of an image file.
Bitmap Drawn(const std::string& file, int32_t width) {
    ElementList list;
    ThumbnailImage thumbnail;
    std::string reason;
    EXPECT_TRUE(ReadImageDataset(file, list, reason)) << reason;
    EXPECT_TRUE(ReadThumbnailPixels(thumbnail, list, DisplayOptions{}, reason)) << reason;
    thumbnail.scale = static_cast<float>(width) / thumbnail.image.columns;
    Bitmap bitmap;
    auto height = static_cast<uint32_t>(thumbnail.image.rows * thumbnail.scale);
    if (thumbnail.image.Colour()) {
        MakeRgbBitmap(bitmap, static_cast<uint32_t>(width), height);
        DrawRgbThumbnail(thumbnail, bitmap);
    } else {
        MakeGrayBitmap(bitmap, static_cast<uint32_t>(width), height);
        DrawGrayThumbnail(thumbnail, bitmap);
    }
    return bitmap;
}

double MeanDifference(const Bitmap& a, const Bitmap& b, uint32_t margin) {
    double total = 0;
    int count = 0;
    for (uint32_t y = margin; y + margin < a.Height(); ++y)
        for (uint32_t x = margin; x + margin < a.Width(); ++x) {
            Rgb p = a.PixelColour(x, y), q = b.PixelColour(x, y);
            total += std::abs(p.red - q.red) + std::abs(p.green - q.green) + std::abs(p.blue - q.blue);
            count += 3;
        }
    return count ? total / count : 999;
}

// A single-frame (or `frames`-frame) image file written by the library.
struct ImageSpec {
    std::string photometric = "MONOCHROME2";
    uint16_t rows = 8, columns = 8, bits = 16, pixelRepresentation = 1;
    std::string centre = "40", width = "400", intercept = "-1024", slope = "1";
    int frames = 1;
    std::string shape;            // Presentation LUT Shape
    std::vector<uint8_t> pixels;  // all frames
    bool withIcon = false;
};

std::vector<uint8_t> Repeat16(uint16_t value, std::size_t count) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < count; ++i)
        out.insert(out.end(), {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
    return out;
}

std::string WriteImage(const TempDir& dir, const std::string& name, const ImageSpec& spec) {
    ElementList data, meta;
    AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(data, 0x0008, 0x0018, "UI", "1.2.3.4.5");
    if (spec.withIcon) {  // an icon's attributes in an item, before the image's own
        data.Append(NewElement(0x0008, 0x1140, kUndefinedLength, nullptr, "SQ"));
        data.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
        AddUS(data, 0x0028, 0x0010, 2);
        AddUS(data, 0x0028, 0x0011, 2);
        AddUS(data, 0x0028, 0x0100, 8);
        data.Append(NewElement(0x7FE0, 0x0010, 4, "\1\2\3\4", "OB"));
        data.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        data.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    }
    AddUS(data, 0x0028, 0x0002, spec.photometric == "RGB" ? 3 : 1);
    AddText(data, 0x0028, 0x0004, "CS", spec.photometric);
    if (spec.frames > 1) AddText(data, 0x0028, 0x0008, "IS", std::to_string(spec.frames));
    AddUS(data, 0x0028, 0x0010, spec.rows);
    AddUS(data, 0x0028, 0x0011, spec.columns);
    AddUS(data, 0x0028, 0x0100, spec.bits);
    AddUS(data, 0x0028, 0x0101, spec.bits);
    AddUS(data, 0x0028, 0x0103, spec.pixelRepresentation);
    if (!spec.centre.empty()) AddText(data, 0x0028, 0x1050, "DS", spec.centre);
    if (!spec.width.empty()) AddText(data, 0x0028, 0x1051, "DS", spec.width);
    if (!spec.intercept.empty()) AddText(data, 0x0028, 0x1052, "DS", spec.intercept);
    if (!spec.slope.empty()) AddText(data, 0x0028, 0x1053, "DS", spec.slope);
    if (!spec.shape.empty()) AddText(data, 0x2050, 0x0020, "CS", spec.shape);
    data.Append(
        NewElement(0x7FE0, 0x0010, static_cast<int32_t>(spec.pixels.size()), spec.pixels.data(), "OW"));
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.3.4.5", kExplicitLittleEndian, true);
    std::string file = dir.File(name);
    EXPECT_TRUE(WritePart10File(file, &meta, data, true, false));
    return file;
}

// The gray level inside the frame of a thumbnail of a flat image.
int InsideGray(const TempDir& dir, const std::string& file) {
    std::string out = dir.File("flat.jpg");
    if (!CreateThumbnail(out, file, 16)) return -1;
    return Drawn(file, 16).Row(8)[8];
}

}  // namespace

TEST(Thumbnail, RealImagesAtTwoWidths) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    std::string rgb = dir.File("rgb.dcm");
    ASSERT_TRUE(RunTool("dcmdjpeg " + Quote(PydicomFile("SC_rgb_dcmtk_+eb+cr.dcm")) + " " + Quote(rgb)));
    const std::vector<std::string> files = {ct, PydicomFile("MR_small.dcm"), rgb,
                                            MakeVariant(dir, "monochrome1", ct),
                                            MakeVariant(dir, "two-frame", ct)};
    for (const std::string& file : files) {
        for (int32_t width : {64, 128}) {
            SCOPED_TRACE(file + " at " + std::to_string(width));
            std::string out = dir.File("thumb.dcm");
            ASSERT_TRUE(CreateThumbnail(out, file, width));
            Bitmap decoded = DecodedThumbnail(dir.File("thumb.jpg"));
            Bitmap drawn = Drawn(file, width);
            EXPECT_EQ(decoded.Width(), static_cast<uint32_t>(width));
            EXPECT_EQ(decoded.Height(), static_cast<uint32_t>(width));  // square images
            EXPECT_EQ(decoded.Format(), file == rgb ? PixelFormat::Bgr24 : PixelFormat::Gray8);
            for (uint32_t i = 0; i < drawn.Width(); ++i) {  // the one-pixel black frame
                for (Rgb c : {drawn.PixelColour(i, 0), drawn.PixelColour(i, drawn.Height() - 1),
                              drawn.PixelColour(0, i % drawn.Height()),
                              drawn.PixelColour(drawn.Width() - 1, i % drawn.Height())})
                    ASSERT_TRUE(c.red == 0 && c.green == 0 && c.blue == 0);
            }
            EXPECT_LT(MeanDifference(decoded, drawn, 0), 12.0) << "quality 60 stays close to the drawing";
        }
    }
}

// Against DCMTK's dcmj2pnm with the file's window (or min-max where it has none), scaled to the
// same width: the same picture up to the interpolation and the window arithmetic. 1-bit
// segmentations (little and big endian) and pixel data padded past the frame included.
TEST(Thumbnail, CloseToDcmj2pnmWithTheSameWindow) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    const std::pair<std::string, const char*> cases[] = {
        {PydicomFile("MR_small.dcm"), "+Wi 1"},        {MakeVariant(dir, "monochrome1", ct), "+Wi 1"},
        {PydicomFile("MR_small_padded.dcm"), "+Wi 1"}, {PydicomFile("liver_1frame.dcm"), "+Wm"},
        {PydicomFile("liver_expb_1frame.dcm"), "+Wm"},
    };
    for (const auto& [file, window] : cases) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(RunTool("dcmj2pnm " + std::string(window) + " +Sxv 128 +op " + Quote(file) + " " +
                            Quote(dir.File("ref.pgm"))));
        Netpbm reference = ReadNetpbm(dir.File("ref.pgm"));
        ASSERT_TRUE(reference.ok);
        Bitmap drawn = Drawn(file, 128);
        ASSERT_EQ(reference.width, 128);
        double total = 0;
        for (uint32_t y = 2; y < 126; ++y)
            for (uint32_t x = 2; x < 126; ++x)
                total += std::abs(drawn.Row(y)[x] - reference.samples[y * 128 + x]);
        EXPECT_LT(total / (124.0 * 124.0), 6.0);
    }
}

TEST(Thumbnail, GrayLevelsOfHandMadeImages) {
    TempDir dir;
    auto flat = [](uint16_t stored) {
        ImageSpec s;
        s.pixels = Repeat16(stored, 64);
        return s;
    };
    struct Case {
        const char* name;
        ImageSpec spec;
        int gray;
    };
    std::vector<Case> cases;
    cases.push_back({"flat 40 after rescale", flat(1064), 127});
    cases.push_back({"140 after rescale", flat(1164), 191});
    ImageSpec inverted = flat(1164);
    inverted.photometric = "MONOCHROME1";
    cases.push_back({"MONOCHROME1", inverted, 63});
    ImageSpec high = flat(40000);
    high.pixelRepresentation = 0;
    high.centre = "40000";
    high.width = "100";
    high.intercept = high.slope = "";
    cases.push_back({"unsigned above 32767", high, 128});
    ImageSpec bright = flat(30000);
    bright.width = "2";
    cases.push_back({"far above the window", bright, 255});
    ImageSpec eight;  // no usable window: from the smallest value (100) to the largest (200)
    eight.bits = 8;
    eight.pixelRepresentation = 0;
    eight.width = "0";
    eight.intercept = eight.slope = "";
    eight.pixels.assign(64, 150);
    eight.pixels[0] = 100;
    eight.pixels[63] = 200;
    cases.push_back({"8-bit with width 0", eight, 127});
    ImageSpec inverse = flat(1164);
    inverse.shape = "INVERSE";
    cases.push_back({"Presentation LUT Shape INVERSE", inverse, 63});
    ImageSpec identity = inverted;
    identity.shape = "IDENTITY";
    cases.push_back({"MONOCHROME1 with IDENTITY", identity, 191});
    ImageSpec frames = flat(1064);
    frames.frames = 2;
    std::vector<uint8_t> second = Repeat16(0, 64);
    frames.pixels.insert(frames.pixels.end(), second.begin(), second.end());
    cases.push_back({"two frames: the first", frames, 127});
    ImageSpec icon = flat(1064);
    icon.withIcon = true;
    cases.push_back({"icon attributes in an item", icon, 127});
    ImageSpec padded = flat(1064);
    padded.pixels.push_back(0);
    padded.pixels.push_back(0);  // written odd lengths are padded: this is 2 bytes over
    cases.push_back({"two bytes too long: drawn, the rest left alone", padded, 127});
    ImageSpec cut = flat(1064);
    cut.frames = 2;
    cases.push_back({"a second frame announced and missing", cut, -1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InsideGray(dir, WriteImage(dir, "flat.dcm", c.spec)), c.gray);
    }
}

TEST(Thumbnail, CompressedTwinsNamesAndRefusals) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    std::string lossless = dir.File("ct_ll.dcm");
    ASSERT_TRUE(RunTool("dcmcjpeg +e1 " + Quote(ct) + " " + Quote(lossless)));
    ASSERT_TRUE(CreateThumbnail(dir.File("native.out"), ct, 64));
    ASSERT_TRUE(CreateThumbnail(dir.File("lossless.out"), lossless, 64));
    EXPECT_EQ(ReadAll(dir.File("native.jpg")), ReadAll(dir.File("lossless.jpg")));
    ASSERT_TRUE(CreateThumbnail(dir.File("big"), PydicomFile("MR_small_bigendian.dcm"), 64));
    ASSERT_TRUE(CreateThumbnail(dir.File("little.x.y"), PydicomFile("MR_small.dcm"), 64));
    EXPECT_EQ(ReadAll(dir.File("big.jpg")), ReadAll(dir.File("little.x.jpg")));

    ImageSpec wide;
    wide.rows = 1;
    wide.columns = 200;
    wide.pixels = Repeat16(1064, 200);
    std::string wideFile = WriteImage(dir, "wide.dcm", wide);
    struct Refused {
        std::string file;
        int32_t width;
    };
    const Refused refused[] = {{ct, 0},
                               {ct, -5},
                               {wideFile, 50},
                               {PydicomFile("waveform_ecg.dcm"), 64},
                               {dir.File("missing.dcm"), 64}};
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.file + " at " + std::to_string(r.width));
        std::filesystem::remove(dir.File("none.jpg"));
        EXPECT_FALSE(CreateThumbnail(dir.File("none.dcm"), r.file, r.width));
        EXPECT_FALSE(std::filesystem::exists(dir.File("none.jpg")));
    }
}

// Over every pydicom sample in one run: each object with pixel data gets a thumbnail, except
// those no other reader here draws either, each skipped with its reason.
TEST(Thumbnail, EveryPydicomSampleWithPixelsOrAStatedReason) {
    TempDir dir;
    const std::string folder = PydicomFile("CT_small.dcm").substr(0, PydicomFile("CT_small.dcm").rfind('/'));
    const std::map<std::string, std::string> refused = {
        {"JPEG2000-embedded-sequence-delimiter.dcm", "cannot be decoded"},  // GDCM fails on it too
        {"MR_truncated.dcm", "not a readable DICOM Part 10 file"},
        {"SC_rgb_jpeg.dcm", "not a readable DICOM Part 10 file"},           // dcmj2pnm fails on it too
        {"meta_missing_tsyntax.dcm", "not a readable DICOM Part 10 file"},  // as does dcmj2pnm
        {"rtplan_truncated.dcm", "not a readable DICOM Part 10 file"},
        {"nested_priv_SQ.dcm", "no rows or columns"},  // its pixel data stand inside an item
    };
    CommandResult run =
        RunCommand({PELLA_CLI_PATH, "thumbnail", "--width", "32", "--out-dir", dir.File("t"), folder}, true);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    std::istringstream lines(run.out);
    std::string line;
    const std::string prefix = "skipped " + folder + "/";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0 || line.find("the data set has no pixel data") != std::string::npos)
            continue;
        const std::string name = line.substr(prefix.size(), line.find(':', prefix.size()) - prefix.size());
        auto known = refused.find(name);
        ASSERT_NE(known, refused.end()) << line;
        EXPECT_NE(line.find(known->second), std::string::npos) << line;
    }
    std::size_t drawn = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("t")))
        drawn += entry.is_regular_file();
    EXPECT_GE(drawn, 49u);
}

TEST(Thumbnail, FolderModeOfTheCommand) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "in" / "sub");
    std::filesystem::copy_file(PydicomFile("CT_small.dcm"), dir.Path() / "in" / "ct.dcm");
    std::filesystem::copy_file(PydicomFile("MR_small.dcm"), dir.Path() / "in" / "sub" / "1.2.3.4");
    std::filesystem::copy_file(PydicomFile("reportsi.dcm"), dir.Path() / "in" / "report.dcm");
    dir.Write("in/KPStudy.dir", {'x', '\n'});
    std::string out = dir.File("thumbs");
    CommandResult flat =
        RunCommand({PELLA_CLI_PATH, "thumbnail", dir.File("in"), "--width", "32", "--out-dir", out}, true);
    EXPECT_EQ(flat.exitCode, 0) << flat.out;
    EXPECT_TRUE(std::filesystem::exists(out + "/ct.jpg"));
    EXPECT_FALSE(std::filesystem::exists(out + "/sub"));
    EXPECT_NE(flat.out.find("skipped " + dir.File("in/report.dcm") + ": "), std::string::npos) << flat.out;
    EXPECT_NE(flat.out.find("Wrote 1 thumbnail of 2 files"), std::string::npos) << flat.out;
    CommandResult deep = RunCommand(
        {PELLA_CLI_PATH, "thumbnail", "-r", "--width", "32", "--out-dir", out, dir.File("in")}, true);
    EXPECT_EQ(deep.exitCode, 0) << deep.out;
    EXPECT_EQ(DecodedThumbnail(out + "/sub/1.2.3.4.jpg").Width(), 32u);
    // One file: PNG under a name ending in .png in any case, JPEG under any other, the name kept.
    for (const char* name : {"one.png", "one.PnG", "one.dcm", "one"}) {
        SCOPED_TRACE(name);
        CommandResult one = RunCommand(
            {PELLA_CLI_PATH, "thumbnail", PydicomFile("CT_small.dcm"), dir.File(name), "48"}, true);
        EXPECT_EQ(one.exitCode, 0) << one.out;
        std::vector<uint8_t> bytes = ReadAll(dir.File(name));
        bool png = IsPngName(name);
        ASSERT_GT(bytes.size(), 8u);
        EXPECT_EQ(bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G', png);
        EXPECT_EQ(bytes[0] == 0xFF && bytes[1] == 0xD8, !png);
        if (!png) {
            EXPECT_EQ(DecodedThumbnail(dir.File(name)).Width(), 48u);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("one.jpg")));
    CommandResult bad =
        RunCommand({PELLA_CLI_PATH, "thumbnail", PydicomFile("reportsi.dcm"), dir.File("r.jpg"), "48"}, true);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("no pixel data"), std::string::npos) << bad.out;
    CommandResult help = RunCommand({PELLA_CLI_PATH, "thumbnail", "--help"});
    EXPECT_NE(help.out.find("under exactly the name OUT"), std::string::npos);
}
