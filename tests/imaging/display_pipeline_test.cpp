// The display pipeline against DCMTK's dcmj2pnm: `pella render` and full-width PNG thumbnails of
// pydicom's native samples and of variants made with pydicom (Modality LUT, VOI LUT, Presentation
// LUT Shape, MONOCHROME1, YBR_FULL, frames), with the options that match dcmj2pnm's; every 8-bit
// output pixel within 1 gray level. Then the options' refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "imaging/image_variants.h"
#include "support/netpbm.h"
#include "support/png_pixels.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

bool HaveDcmj2pnm() {
    return RunTool("command -v dcmj2pnm");
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// dcmj2pnm's 8-bit output of the file, colour reduced to luminance when `gray`.
Netpbm Reference(const TempDir& dir, const std::string& file, const std::string& options) {
    std::string out = dir.File("reference.pnm");
    EXPECT_TRUE(RunTool("dcmj2pnm " + options + " +op " + Quote(file) + " " + Quote(out))) << file;
    return ReadNetpbm(out);
}

uint8_t Luminance(const uint8_t* rgb) {
    return static_cast<uint8_t>((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
}

struct Case {
    std::string name;
    std::string file;
    std::string pellaOptions;
    std::string dcmtkOptions;
};

std::vector<Case> Cases(const TempDir& dir) {
    std::string ct = PydicomFile("CT_small.dcm"), mr = PydicomFile("MR_small.dcm");
    std::string samples = PydicomTestFiles().string();
    return {
        {"CT without a window: min-max", ct, "", "+Wm"},
        {"CT with a window given", ct, "--window 40 400", "+Ww 40 400"},
        {"MR with its window", mr, "", "+Wi 1"},
        {"MR min-max", mr, "--min-max", "+Wm"},
        {"MR big endian", PydicomFile("MR_small_bigendian.dcm"), "", "+Wi 1"},
        {"CR MONOCHROME1 12 bits, rescaled", samples + "/dicomdirtests/77654033/CR1/6154", "", "+Wi 1"},
        {"CR MONOCHROME1 min-max", samples + "/dicomdirtests/77654033/CR1/6154", "-M", "+Wm"},
        {"CT series image", samples + "/dicomdirtests/77654033/CT2/17106", "", "+Wi 1"},
        {"RT dose 32 bits, frame 5", PydicomFile("rtdose.dcm"), "--frame 5", "+Wm +F 5"},
        {"RT dose one frame", PydicomFile("rtdose_1frame.dcm"), "", "+Wm"},
        {"two frames, the second", MakeVariant(dir, "two-frame", ct), "-F 2 -W -600 1600",
         "+F 2 +Ww -600 1600"},
        {"MONOCHROME1 variant", MakeVariant(dir, "monochrome1", ct), "", "+Wi 1"},
        {"unsigned above 32767", MakeVariant(dir, "unsigned-high", ct), "", "+Wi 1"},
        {"slope 2, fractional window", MakeVariant(dir, "slope-2", ct), "", "+Wi 1"},
        {"narrow window", MakeVariant(dir, "narrow-window", ct), "", "+Wi 1"},
        {"8 bits with a window", MakeVariant(dir, "eight-bit", ct), "", "+Wi 1"},
        {"attributes inside items", MakeVariant(dir, "nested-attributes", ct), "", "+Wm"},
        {"Modality LUT", MakeVariant(dir, "modality-lut", ct), "", "+Wm"},
        {"Modality LUT on MR", MakeVariant(dir, "modality-lut", mr), "", "+Wm"},
        {"VOI LUT", MakeVariant(dir, "voi-lut", mr), "", "+Wl 1"},
        {"SIGMOID VOI function", MakeVariant(dir, "sigmoid", mr), "", "+Wi 1"},
        {"Presentation LUT Shape INVERSE", MakeVariant(dir, "inverse-shape", mr), "", "+Wi 1"},
        {"MONOCHROME1 with IDENTITY", MakeVariant(dir, "monochrome1-identity", mr), "", "+Wi 1"},
        {"RGB", PydicomFile("SC_rgb_small_odd.dcm"), "", ""},
        {"RGB planar, big endian", PydicomFile("ExplVR_BigEnd.dcm"), "", ""},
        {"YBR_FULL", MakeVariant(dir, "ybr-full", PydicomFile("SC_rgb_small_odd.dcm")), "", ""},
        {"YBR_FULL_422", PydicomFile("SC_ybr_full_422_uncompressed.dcm"), "", ""},
    };
}

int MostApart(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs) {
    if (ours.size() != theirs.size()) return 256;
    int most = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) most = std::max(most, std::abs(ours[i] - theirs[i]));
    return most;
}

}  // namespace

// `pella render`: the page is 8-bit gray (colour by its luminance) and equals dcmj2pnm's output
// within one gray level at every pixel.
TEST(DisplayPipeline, RenderedPagesMatchDcmj2pnm) {
    if (!HaveDcmj2pnm()) GTEST_SKIP() << "DCMTK's dcmj2pnm is not installed";
    TempDir dir;
    for (const Case& c : Cases(dir)) {
        SCOPED_TRACE(c.name);
        Netpbm reference = Reference(dir, c.file, c.dcmtkOptions);
        ASSERT_TRUE(reference.ok);
        std::vector<uint8_t> expected;
        for (std::size_t i = 0; i < reference.samples.size(); i += reference.channels)
            expected.push_back(reference.channels == 3 ? Luminance(&reference.samples[i])
                                                       : reference.samples[i]);
        std::vector<std::string> argv = {PELLA_CLI_PATH, "render"};
        for (const std::string& word : Words(c.pellaOptions)) argv.push_back(word);
        argv.insert(argv.end(), {c.file, dir.File("page.png")});
        CommandResult run = RunCommand(argv, true);
        ASSERT_EQ(run.exitCode, 0) << run.out;
        PngPixels page = ReadPng(dir.File("page.png"));
        ASSERT_TRUE(page.ok);
        EXPECT_EQ(page.width, static_cast<uint32_t>(reference.width));
        EXPECT_LE(MostApart(page.samples, expected), 1);
    }
}

// A PNG thumbnail as wide as the image samples each pixel once: inside its one-pixel frame it
// equals dcmj2pnm's output within one level, gray and colour (red, green, blue compared).
TEST(DisplayPipeline, FullWidthThumbnailsMatchDcmj2pnm) {
    if (!HaveDcmj2pnm()) GTEST_SKIP() << "DCMTK's dcmj2pnm is not installed";
    TempDir dir;
    for (const Case& c : Cases(dir)) {
        SCOPED_TRACE(c.name);
        Netpbm reference = Reference(dir, c.file, c.dcmtkOptions);
        ASSERT_TRUE(reference.ok);
        std::vector<std::string> argv = {PELLA_CLI_PATH, "thumbnail"};
        for (const std::string& word : Words(c.pellaOptions)) argv.push_back(word);
        argv.insert(argv.end(), {c.file, dir.File("thumb.PNG"), std::to_string(reference.width)});
        CommandResult run = RunCommand(argv, true);
        ASSERT_EQ(run.exitCode, 0) << run.out;
        PngPixels thumb =
            ReadPng(dir.File("thumb.PNG"), reference.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY);
        ASSERT_TRUE(thumb.ok);
        ASSERT_EQ(thumb.width, static_cast<uint32_t>(reference.width));
        ASSERT_EQ(thumb.height, static_cast<uint32_t>(reference.height));
        std::vector<uint8_t> ours, theirs;
        const auto channels = static_cast<std::size_t>(reference.channels);
        for (std::size_t y = 1; y + 1 < thumb.height; ++y)
            for (std::size_t x = 1; x + 1 < thumb.width; ++x)
                for (std::size_t k = 0; k < channels; ++k) {
                    std::size_t at = (y * thumb.width + x) * channels + k;
                    ours.push_back(thumb.samples[at]);
                    theirs.push_back(reference.samples[at]);
                }
        // YBR_FULL to RGB: dcmj2pnm's arithmetic and the exact coefficients differ by up to 2.
        EXPECT_LE(MostApart(ours, theirs), c.name == "YBR_FULL" ? 2 : 1);
    }
}

TEST(DisplayPipeline, OptionsRefusedWithAReason) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    struct Refusal {
        std::vector<std::string> options;
        int exitCode;
        std::string says;
    };
    const Refusal refusals[] = {
        {{"--frame", "2"}, 1, "frame 2 was asked for; the image has 1"},
        {{"--frame", "0"}, 2, "--frame takes a frame number from 1"},
        {{"--window", "40", "0.5"}, 2, "the width must be at least 1"},
        {{"--window", "40"}, 2, "--window takes two numbers"},
        {{"--window", "40", "400", "--min-max"}, 2, "not both"},
    };
    for (const Refusal& r : refusals)
        for (const char* command : {"render", "thumbnail"}) {
            SCOPED_TRACE(std::string(command) + " " + r.options.front());
            std::string out = dir.File(std::string(command) == "render" ? "x.png" : "x.jpg");
            std::vector<std::string> argv = {PELLA_CLI_PATH, command};
            argv.insert(argv.end(), r.options.begin(), r.options.end());
            argv.insert(argv.end(), {ct, out});
            if (std::string(command) == "thumbnail") argv.push_back("64");
            CommandResult run = RunCommand(argv, true);
            EXPECT_EQ(run.exitCode, r.exitCode);
            EXPECT_NE(run.out.find(r.says), std::string::npos) << run.out;
            EXPECT_FALSE(std::filesystem::exists(out));
        }
}
