// Transfer-syntax conversion checked against DCMTK (dcmcjpeg, dcmdjpeg, dcmdump) and pydicom on
// pydicom's sample files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/convert/conversion_syntax.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "pella.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using testing_support::Capture;
using testing_support::Quote;
using testing_support::TempDir;

namespace {

constexpr const char* kPython = "/usr/bin/python3";
// Native samples the converter refuses, and why.
const char* const kRefused[][2] = {
    {"MR_small_padded.dcm", "pixel data longer than the image geometry"},
    {"SC_ybr_full_422_uncompressed.dcm", "subsampled native colour (two bytes per pixel)"},
};
constexpr std::uintmax_t kMaxSampleBytes = 2 * 1024 * 1024;  // keeps the run short

struct Loaded {
    bool ok = false;
    std::string syntax;
    ElementList data;
    const DataElement* pixels = nullptr;
    unsigned bitsAllocated = 0;
};

Loaded Load(const std::string& file) {
    Loaded out;
    out.ok = pella::ReadDatasetAndSyntax(file, out.data, out.syntax);
    out.pixels = pella::FindElement(out.data, 0x7FE0, 0x0010);
    out.bitsAllocated = pella::GetElementUS(out.data, 0x0028, 0x0100);
    return out;
}

std::vector<uint8_t> PixelBytes(const Loaded& file) {
    if (file.pixels == nullptr || file.pixels->length <= 0) return {};
    return std::vector<uint8_t>(file.pixels->value, file.pixels->value + file.pixels->length);
}

std::string Pella(const std::string& arguments, int* exitCode) {
    testing_support::CommandResult run = Capture(std::string(PELLA_CLI_PATH) + " " + arguments);
    *exitCode = run.exitCode;
    return run.out;
}

// dcmdump must read the whole file without a warning or error.
void ExpectDcmdumpClean(const std::string& file) {
    testing_support::CommandResult run = Capture("dcmdump -q " + Quote(file));
    EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.out;
    EXPECT_EQ(run.out.find("W: "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("E: "), std::string::npos) << run.out;
}

// pydicom must read the file and its pixel data with warnings treated as errors.
void ExpectPydicomClean(const std::string& file, bool pixels) {
    std::string script = "import sys, pydicom; ds = pydicom.dcmread(sys.argv[1]); ds.remove_private_tags()";
    if (pixels) script += "; ds.pixel_array";
    testing_support::CommandResult run =
        Capture(std::string(kPython) + " -W error -c " + Quote(script) + " " + Quote(file));
    EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.out;
}

const char* RefusalReason(const std::string& name) {
    for (const auto& entry : kRefused)
        if (name == entry[0]) return entry[1];
    return nullptr;
}

// pydicom samples in implicit or explicit VR little endian with native 8- or 16-bit pixels.
std::vector<std::filesystem::path> NativeSamples() {
    std::vector<std::filesystem::path> out;
    for (const auto& path : testing_support::PydicomSamples()) {
        if (std::filesystem::file_size(path) > kMaxSampleBytes) continue;
        Loaded file = Load(path.string());
        if (!file.ok ||
            (file.syntax != pella::kImplicitLittleEndian && file.syntax != pella::kExplicitLittleEndian))
            continue;
        if (file.pixels == nullptr || file.pixels->length <= 0) continue;
        if (file.bitsAllocated == 8 || file.bitsAllocated == 16) out.push_back(path);
    }
    return out;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::fabs(double(a[i]) - double(b[i]));
    return a.empty() ? 0 : sum / double(a.size());
}

}  // namespace

TEST(ConversionRealWorld, NativeSamplesSurviveJpegLosslessAndBigEndianRoundTrips) {
    std::vector<std::filesystem::path> samples = NativeSamples();
    ASSERT_GE(samples.size(), 5u);
    TempDir dir;
    for (const auto& path : samples) {
        std::string name = path.filename().string();
        SCOPED_TRACE(name);
        Loaded source = Load(path.string());
        std::string lossless = dir.File(name + ".jl.dcm");
        int exit = 0;
        std::string said =
            Pella("convert " + Quote(path.string()) + " " + Quote(lossless) + " jpeg-lossless", &exit);
        if (const char* reason = RefusalReason(name)) {
            EXPECT_EQ(exit, 1) << reason;
            EXPECT_NE(said.find("conversion: "), std::string::npos) << said;
            EXPECT_EQ(said.find("ConvertDataset"), std::string::npos) << said;
            EXPECT_FALSE(std::filesystem::exists(lossless));
            continue;
        }
        ASSERT_EQ(exit, 0) << said;
        ExpectDcmdumpClean(lossless);
        ExpectPydicomClean(lossless, false);
        std::string decompressed = dir.File(name + ".dj.dcm");
        ASSERT_TRUE(testing_support::RunTool("dcmdjpeg " + Quote(lossless) + " " + Quote(decompressed)));
        std::vector<uint8_t> expected = PixelBytes(source);
        std::vector<uint8_t> got = PixelBytes(Load(decompressed));
        ASSERT_GE(expected.size(), got.size() - got.size() % 2);
        expected.resize(got.size());  // an odd frame is padded by one byte either way
        EXPECT_EQ(got, expected);

        // Big endian and back to the source syntax: the same data set, byte for byte.
        std::string big = dir.File(name + ".be.dcm");
        std::string back = dir.File(name + ".back.dcm");
        ASSERT_EQ(ConvertFileTS(big.c_str(), path.c_str(), "1.2.840.10008.1.2.2"), 1);
        ExpectDcmdumpClean(big);
        ExpectPydicomClean(big, true);
        ASSERT_EQ(ConvertFileTS(back.c_str(), big.c_str(), source.syntax.c_str()), 1);
        Loaded again = Load(back);
        ASSERT_TRUE(again.ok);
        bool explicitVR = source.syntax == pella::kExplicitLittleEndian;
        EXPECT_EQ(pella::SerializeList(again.data, explicitVR, false),
                  pella::SerializeList(source.data, explicitVR, false));
    }
}

namespace {

struct DcmtkCase {
    const char* sample;
    const char* options;
    bool lossless;
};

// A 12-bit variant of CT_small (bits stored 12), made with pydicom.
std::string TwelveBitSample(const TempDir& dir) {
    std::string out = dir.File("ct12.dcm");
    std::string script =
        "import sys, pydicom\n"
        "ds = pydicom.dcmread(sys.argv[1])\n"
        "a = ds.pixel_array.astype('uint16') & 0x0FFF\n"
        "ds.BitsStored = 12; ds.HighBit = 11; ds.PixelRepresentation = 0\n"
        "ds.PixelData = a.tobytes(); ds.save_as(sys.argv[2])\n";
    testing_support::RunTool(std::string(kPython) + " -c " + Quote(script) + " " +
                             Quote((testing_support::PydicomTestFiles() / "CT_small.dcm").string()) + " " +
                             Quote(out));
    return out;
}

}  // namespace

TEST(ConversionRealWorld, DcmcjpegFilesDecompressLikeDcmdjpeg) {
    TempDir dir;
    std::string twelve = TwelveBitSample(dir);
    ASSERT_TRUE(std::filesystem::exists(twelve));
    const DcmtkCase cases[] = {
        {"MR_small.dcm", "+e1", true},
        {"CT_small.dcm", "+e1", true},
        {"SC_rgb_small_odd.dcm", "+e1", true},
        {"SC_rgb_jpeg_dcmd.dcm", "+e1", true},
        {"", "+e1", true},  // the 12-bit file
        {"SC_rgb_small_odd.dcm", "+eb", false},
        {"SC_rgb_jpeg_dcmd.dcm", "+eb", false},
    };
    for (const auto& c : cases) {
        std::string input = c.sample[0] ? (testing_support::PydicomTestFiles() / c.sample).string() : twelve;
        std::string label = std::string(c.sample[0] ? c.sample : "ct12.dcm") + " " + c.options;
        SCOPED_TRACE(label);
        std::string compressed = dir.File("c.dcm"), ours = dir.File("p.dcm"), theirs = dir.File("d.dcm");
        ASSERT_TRUE(testing_support::RunTool("dcmcjpeg " + std::string(c.options) + " " + Quote(input) + " " +
                                             Quote(compressed)));
        int exit = 0;
        std::string said = Pella("convert " + Quote(compressed) + " " + Quote(ours) + " explicit", &exit);
        ASSERT_EQ(exit, 0) << said;
        ASSERT_TRUE(testing_support::RunTool("dcmdjpeg " + Quote(compressed) + " " + Quote(theirs)));
        ExpectDcmdumpClean(ours);
        ExpectPydicomClean(ours, true);
        std::vector<uint8_t> a = PixelBytes(Load(ours)), b = PixelBytes(Load(theirs));
        ASSERT_EQ(a.size(), b.size());
        if (c.lossless)
            EXPECT_EQ(a, b);
        else
            EXPECT_LT(MeanDifference(a, b), 2.0);
    }
}

TEST(ConversionRealWorld, BaselineOutputIsCloseToTheSource) {
    TempDir dir;
    std::string source = (testing_support::PydicomTestFiles() / "SC_rgb_jpeg_dcmd.dcm").string();
    std::string baseline = dir.File("b.dcm"), decompressed = dir.File("d.dcm");
    int exit = 0;
    std::string said = Pella("convert " + Quote(source) + " " + Quote(baseline) + " jpeg-baseline", &exit);
    ASSERT_EQ(exit, 0) << said;
    ExpectDcmdumpClean(baseline);
    ASSERT_TRUE(testing_support::RunTool("dcmdjpeg " + Quote(baseline) + " " + Quote(decompressed)));
    std::vector<uint8_t> a = PixelBytes(Load(source)), b = PixelBytes(Load(decompressed));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_LT(MeanDifference(a, b), 3.0);
    EXPECT_GT(MeanDifference(a, b), 0.0);  // lossy indeed
}

TEST(ConvertCommand, HelpNamesExitCodesAndReasons) {
    int exit = 0;
    std::string help = Pella("convert --help", &exit);
    EXPECT_EQ(exit, 0);
    EXPECT_NE(help.find("jpeg-baseline"), std::string::npos) << help;
    Pella("convert a.dcm b.dcm little", &exit);
    EXPECT_EQ(exit, 2);
    Pella("convert a.dcm b.dcm", &exit);
    EXPECT_EQ(exit, 2);

    TempDir dir;
    std::string missing =
        Pella("convert " + Quote(dir.File("none.dcm")) + " " + Quote(dir.File("o.dcm")) + " big", &exit);
    EXPECT_EQ(exit, 1);
    EXPECT_NE(missing.find("none.dcm"), std::string::npos) << missing;
    std::string rle = (testing_support::PydicomTestFiles() / "MR_small_RLE.dcm").string();
    std::string refused = Pella("convert " + Quote(rle) + " " + Quote(dir.File("o.dcm")) + " 1.2.3.4", &exit);
    EXPECT_EQ(exit, 1);
    EXPECT_NE(refused.find("1.2.3.4"), std::string::npos) << refused;
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.dcm")));

    // The file's own syntax: a byte-for-byte copy, options after the positionals too.
    std::string mr = (testing_support::PydicomTestFiles() / "MR_small.dcm").string();
    std::string copy = dir.File("copy.dcm");
    Pella("convert " + Quote(mr) + " " + Quote(copy) + " 1.2.840.10008.1.2.1", &exit);
    EXPECT_EQ(exit, 0);
    EXPECT_EQ(testing_support::ReadAll(copy), testing_support::ReadAll(mr));
}

TEST(ConvertTS, ConvertsTheCallersListInPlace) {
    ElementList* list = CreateElementList();
    uint8_t explicitVR = 0;
    ElementList* meta = CreateElementList();
    std::string mr = (testing_support::PydicomTestFiles() / "MR_small_implicit.dcm").string();
    ASSERT_EQ(DICOMFile(mr.c_str(), meta, list, &explicitVR), 1);
    int32_t before = ElementCount(list);
    ASSERT_EQ(ConvertTS(list, "1.2.840.10008.1.2.4.70", pella::kImplicitLittleEndian), 1);
    EXPECT_EQ(ElementCount(list), before + 3);  // offset table, one fragment, delimiter
    EXPECT_EQ(ElementAt(list, before - 1)->length, -1);
    EXPECT_EQ(ConvertTS(list, pella::kExplicitLittleEndian, "1.2.840.10008.1.2.5"), 0);
    char reason[256];
    EXPECT_GT(LastFailureText(reason, sizeof reason), 0);
    EXPECT_EQ(ElementCount(list), 0);  // replaced by what was converted: nothing
    EXPECT_EQ(ConvertTS(nullptr, pella::kExplicitLittleEndian, pella::kImplicitLittleEndian), 0);
    DestroyElementList(list);
    DestroyElementList(meta);
}

namespace {

// The DCT and lossless JPEG syntaxes: baseline, extended, lossless and lossless first-order.
bool IsJpegFamily(const std::string& syntax) {
    for (const char* uid : {"1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51", "1.2.840.10008.1.2.4.57",
                            "1.2.840.10008.1.2.4.70"})
        if (syntax == uid) return true;
    return false;
}

// Pella's decompression of `input` (to explicit VR little endian) against `tool`'s (dcmdjpeg
// or dcmdrle) with `options`: the same pixel bytes, Photometric Interpretation and planar
// configuration.
void ExpectDecompressedLike(const std::string& tool, const TempDir& dir, const std::string& input,
                            const std::string& options) {
    std::string ours = dir.File("ours.dcm"), theirs = dir.File("theirs.dcm");
    std::filesystem::remove(ours);
    std::filesystem::remove(theirs);
    int exit = 0;
    std::string said = Pella("convert " + Quote(input) + " " + Quote(ours) + " explicit", &exit);
    ASSERT_EQ(exit, 0) << said;
    ASSERT_TRUE(testing_support::RunTool(tool + " " + options + " " + Quote(input) + " " + Quote(theirs)));
    Loaded a = Load(ours), b = Load(theirs);
    ASSERT_TRUE(a.ok && b.ok);
    std::vector<uint8_t> pixelsA = PixelBytes(a), pixelsB = PixelBytes(b);
    ASSERT_EQ(pixelsA.size(), pixelsB.size());
    EXPECT_EQ(MeanDifference(pixelsA, pixelsB), 0.0);
    EXPECT_EQ(pella::GetElementText(a.data, 0x0028, 0x0004), pella::GetElementText(b.data, 0x0028, 0x0004));
    EXPECT_EQ(pella::GetElementUS(a.data, 0x0028, 0x0006), pella::GetElementUS(b.data, 0x0028, 0x0006));
}

void ExpectDecompressedLikeDcmdjpeg(const TempDir& dir, const std::string& input,
                                    const std::string& options) {
    ExpectDecompressedLike("dcmdjpeg", dir, input, options);
}

}  // namespace

// Every JPEG sample of pydicom: decoded colours as DCMTK decodes them. Without a JFIF or Adobe
// marker the stream's colour space is the one Photometric Interpretation declares.
TEST(ConversionRealWorld, EveryPydicomJpegSampleDecompressesAsDcmdjpegDoes) {
    TempDir dir;
    int compared = 0;
    for (const auto& path : testing_support::PydicomSamples()) {
        Loaded file = Load(path.string());
        if (!file.ok || !IsJpegFamily(file.syntax) || file.pixels == nullptr) continue;
        std::string name = path.filename().string();
        SCOPED_TRACE(name);
        ExpectDecompressedLikeDcmdjpeg(dir, path.string(), "");
        ++compared;
    }
    EXPECT_GE(compared, 15);  // the 12-bit extended samples included
}

// The markers against the declaration, on samples whose Photometric Interpretation is changed:
// a JFIF or Adobe marker decides (as dcmdjpeg +cg, which asks the library), else the
// declaration does (as dcmdjpeg +cp).
TEST(ConversionRealWorld, JpegColourSpaceFollowsTheMarkerElseThePhotometricInterpretation) {
    struct Case {
        const char* sample;
        const char* photometric;
        const char* dcmdjpegOptions;
    };
    const Case cases[] = {
        {"SC_rgb_jpeg_dcmtk.dcm", "RGB", "+cg"},                  // JFIF: YCbCr whatever is declared
        {"SC_jpeg_no_color_transform_2.dcm", "YBR_FULL", "+cg"},  // Adobe, no transform: RGB
        {"SC_rgb_jpeg_gdcm.dcm", "YBR_FULL", "+cg"},              // lossless, Adobe: RGB
        {"SC_jpeg_no_color_transform.dcm", "YBR_FULL", "+cp"},    // no marker: as declared
        {"SC_rgb_jpeg_lossy_gdcm.dcm", "YBR_FULL_422", "+cp"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " as " + c.photometric);
        std::string variant = dir.File("variant.dcm");
        std::string script =
            "import sys, pydicom\n"
            "ds = pydicom.dcmread(sys.argv[1]); ds.PhotometricInterpretation = sys.argv[2]\n"
            "ds.save_as(sys.argv[3])\n";
        ASSERT_TRUE(testing_support::RunTool(std::string(kPython) + " -c " + Quote(script) + " " +
                                             Quote(testing_support::PydicomFile(c.sample)) + " " +
                                             c.photometric + " " + Quote(variant)));
        ExpectDecompressedLikeDcmdjpeg(dir, variant, c.dcmdjpegOptions);
    }
}

// Native pixel data of odd length in an OW value change byte order padded to whole words: the
// last sample stands in the first byte of the last word, as DCMTK's dcmconv writes it.
TEST(ConversionRealWorld, OddLengthOwValuesChangeByteOrderAsDcmconvDoes) {
    TempDir dir;
    std::string odd = testing_support::PydicomFile("SC_rgb_small_odd.dcm");
    std::string dcmtkBig = dir.File("dcmtk-big.dcm");
    ASSERT_TRUE(testing_support::RunTool("dcmconv +tb " + Quote(odd) + " " + Quote(dcmtkBig)));
    struct Case {
        std::string input;
        const char* target;
        const char* dcmconvOption;
    };
    const Case cases[] = {
        {odd, "big", "+tb"},
        {dcmtkBig, "explicit", "+te"},
        {dcmtkBig, "implicit", "+ti"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + " to " + c.target);
        std::string ours = dir.File("ours.dcm"), theirs = dir.File("theirs.dcm");
        int exit = 0;
        std::string said = Pella("convert " + Quote(c.input) + " " + Quote(ours) + " " + c.target, &exit);
        ASSERT_EQ(exit, 0) << said;
        ASSERT_TRUE(testing_support::RunTool("dcmconv " + std::string(c.dcmconvOption) + " " +
                                             Quote(c.input) + " " + Quote(theirs)));
        std::vector<uint8_t> a = PixelBytes(Load(ours)), b = PixelBytes(Load(theirs));
        ASSERT_EQ(a.size(), 28u);
        EXPECT_EQ(a, b);
        ExpectDcmdumpClean(ours);
        ExpectPydicomClean(ours, true);
    }
    // The last sample (0x9E) in big endian: 00 9E.
    std::string ours = dir.File("big.dcm");
    ASSERT_EQ(ConvertFileTS(ours.c_str(), odd.c_str(), "1.2.840.10008.1.2.2"), 1);
    std::vector<uint8_t> big = PixelBytes(Load(ours));
    ASSERT_EQ(big.size(), 28u);
    EXPECT_EQ(big[26], 0x00);
    EXPECT_EQ(big[27], 0x9E);
}

// Every JPEG 2000 sample of pydicom that GDCM decodes converts to the same pixels, the nearly
// empty images that code in a few hundred bytes included.
TEST(ConversionRealWorld, Jpeg2000SamplesDecompressAsGdcmconvDoes) {
    TempDir dir;
    int compared = 0;
    for (const auto& path : testing_support::PydicomSamples()) {
        Loaded file = Load(path.string());
        if (!file.ok || file.pixels == nullptr ||
            (file.syntax != PELLA_JPEG_2000_LOSSLESS && file.syntax != PELLA_JPEG_2000))
            continue;
        if (!testing_support::RunTool("gdcmconv --raw " + Quote(path.string()) + " " +
                                      Quote(dir.File("probe.dcm"))))
            continue;  // a codestream GDCM cannot read either
        SCOPED_TRACE(path.filename().string());
        ExpectDecompressedLike("gdcmconv", dir, path.string(), "--raw");
        ++compared;
    }
    EXPECT_GE(compared, 6);
}

// Every RLE sample of pydicom (8, 16 and 32 bits, grey and colour, one and several frames) decodes
// as dcmdrle decodes it; every native sample Pella codes as RLE decodes in dcmdrle to its own
// pixels again.
TEST(ConversionRealWorld, RleSamplesDecodeLikeDcmdrleAndPellasRleDecodesInDcmdrle) {
    TempDir dir;
    int compared = 0;
    for (const auto& path : testing_support::PydicomSamples()) {
        Loaded file = Load(path.string());
        if (!file.ok || file.syntax != PELLA_RLE_LOSSLESS || file.pixels == nullptr) continue;
        SCOPED_TRACE(path.filename().string());
        ExpectDecompressedLike("dcmdrle", dir, path.string(), "");
        ++compared;
    }
    EXPECT_GE(compared, 9);
    int encoded = 0;
    for (const auto& path : NativeSamples()) {
        if (RefusalReason(path.filename().string()) != nullptr) continue;
        SCOPED_TRACE(path.filename().string());
        std::string rle = dir.File("pella_rle.dcm"), back = dir.File("dcmdrle_back.dcm");
        int exit = 0;
        std::string said = Pella("convert " + Quote(path.string()) + " " + Quote(rle) + " rle", &exit);
        ASSERT_EQ(exit, 0) << said;
        ASSERT_TRUE(testing_support::RunTool("dcmdrle " + Quote(rle) + " " + Quote(back)));
        Loaded original = Load(path.string()), decoded = Load(back);
        ASSERT_TRUE(decoded.ok);
        std::vector<uint8_t> a = PixelBytes(original), b = PixelBytes(decoded);
        a.resize(std::min(a.size(), b.size()));  // an odd value's padding byte
        b.resize(a.size());
        EXPECT_EQ(a, b);
        ++encoded;
    }
    EXPECT_GE(encoded, 5);
}

// A lossy copy as DCMTK reads it: Lossy Image Compression 01, the ratio and the method, a new
// SOP Instance UID in the data set and in the meta header, the original in the Source Image
// Sequence.
TEST(ConversionRealWorld, LossyCopiesCarryTheirMarksInDcmdump) {
    TempDir dir;
    std::string source = testing_support::PydicomFile("SC_rgb_jpeg_dcmd.dcm"), lossy = dir.File("lossy.dcm");
    int exit = 0;
    std::string said = Pella("convert " + Quote(source) + " " + Quote(lossy) + " jpeg-baseline", &exit);
    ASSERT_EQ(exit, 0) << said;
    testing_support::CommandResult dump = Capture("dcmdump +L " + Quote(lossy));
    ASSERT_EQ(dump.exitCode, 0) << dump.out;
    EXPECT_NE(dump.out.find("(0028,2110) CS [01]"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("(0028,2114) CS [ISO_10918_1]"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("(0028,2112) DS ["), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("(0008,2112) SQ"), std::string::npos) << dump.out;
    Loaded original = Load(source), copy = Load(lossy);
    std::string oldUid = pella::GetElementText(original.data, 0x0008, 0x0018);
    std::string newUid = pella::GetElementText(copy.data, 0x0008, 0x0018);
    EXPECT_NE(newUid, oldUid);
    EXPECT_NE(dump.out.find("(0002,0003) UI [" + newUid + "]"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("(0008,1155) UI [" + oldUid + "]"), std::string::npos) << dump.out;
    ExpectDcmdumpClean(lossy);
}

// Many files in one process: the copies mirror the input tree inside DIR, a file that cannot be
// converted gets one line with its reason, and the exit code is 0 only when every file was.
TEST(ConvertCommand, OutDirConvertsFoldersAndFilesAndNamesEachRefusal) {
    TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.File("in/a/deep"));
    fs::create_directories(dir.File("in/b"));
    fs::copy_file(testing_support::PydicomFile("MR_small.dcm"), dir.File("in/a/deep/mr.dcm"));
    fs::copy_file(testing_support::PydicomFile("CT_small.dcm"), dir.File("in/b/ct.dcm"));
    fs::copy_file(testing_support::PydicomFile("SC_rgb_rle.dcm"), dir.File("rgb.dcm"));
    { std::ofstream(dir.File("in/b/notes.txt")) << "not DICOM"; }
    const std::string out = dir.File("out");
    const std::string common = "convert --syntax rle --jobs 2 --out-dir " + Quote(out) + " ";
    testing_support::CommandResult run =
        Capture(std::string(PELLA_CLI_PATH) + " " + common + "-r " + Quote(dir.File("in")) + " " +
                Quote(dir.File("rgb.dcm")) + " 2>&1");
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("refused " + dir.File("in/b/notes.txt") + ": "), std::string::npos) << run.out;
    for (const char* copy : {"a/deep/mr.dcm", "b/ct.dcm", "rgb.dcm"}) {
        Loaded converted = Load(out + "/" + copy);
        ASSERT_TRUE(converted.ok) << copy;
        EXPECT_EQ(converted.syntax, PELLA_RLE_LOSSLESS) << copy;
    }
    EXPECT_FALSE(fs::exists(out + "/b/notes.txt"));
    // Without the stray file every file converts: exit 0, nothing on the output.
    fs::remove(dir.File("in/b/notes.txt"));
    run = Capture(std::string(PELLA_CLI_PATH) + " " + common + "-r " + Quote(dir.File("in")) + " 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    // Without --syntax the call is refused.
    int exit = 0;
    Pella("convert --out-dir " + Quote(out) + " " + Quote(dir.File("in")), &exit);
    EXPECT_EQ(exit, 2);
}
