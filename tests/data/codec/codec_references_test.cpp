// The JPEG-LS, JPEG 2000 and HTJ2K codecs against other systems: pydicom's samples in these
// syntaxes decode to the pixels GDCM (gdcmconv --raw) and DCMTK (dcmdjpls) make of them, and what
// the codecs encode is decoded by those tools, and HTJ2K by OpenJPH's ojph_expand, to the same
// pixels (exactly for lossless).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "data/codec/codec_registry.h"
#include "data/codec/native_samples.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "support/pixel_files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PydicomFile;
using testing_support::ReadPixelFile;
using testing_support::RunTool;
using testing_support::TempDir;

namespace {

bool HaveTool(const char* name) {
    return RunTool(std::string("command -v ") + name);
}

// The image attributes of a file's data set.
FrameFormat StoredFormat(const std::string& file, std::string& syntax) {
    ElementList meta, data;
    ParseState state;
    FrameFormat f;
    if (!ReadPart10File(file, meta, data, state)) return f;
    syntax = GetElementText(meta, 0x0002, 0x0010);
    f.rows = GetElementUS(data, 0x0028, 0x0010);
    f.columns = GetElementUS(data, 0x0028, 0x0011);
    f.samplesPerPixel = GetElementUS(data, 0x0028, 0x0002);
    f.bitsAllocated = GetElementUS(data, 0x0028, 0x0100);
    f.bitsStored = GetElementUS(data, 0x0028, 0x0101);
    f.isSigned = GetElementUS(data, 0x0028, 0x0103) == 1;
    f.planar = GetElementUS(data, 0x0028, 0x0006) == 1;
    f.photometric = GetElementText(data, 0x0028, 0x0004);
    while (!f.photometric.empty() && (f.photometric.back() == ' ' || f.photometric.back() == '\0'))
        f.photometric.pop_back();
    return f;
}

double MeanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                              const FrameFormat& f) {
    std::size_t pixels = std::size_t{f.rows} * f.columns;
    double sum = 0;
    for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p)
            sum += std::abs(ReadSample(a.data(), SampleOffset(f, p, c), f) -
                            ReadSample(b.data(), SampleOffset(f, p, c), f));
    return sum / static_cast<double>(pixels * f.samplesPerPixel);
}

int64_t LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                          const FrameFormat& f) {
    std::size_t pixels = std::size_t{f.rows} * f.columns;
    int64_t largest = 0;
    for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
        for (std::size_t p = 0; p < pixels; ++p)
            largest = std::max<int64_t>(largest, std::abs(ReadSample(a.data(), SampleOffset(f, p, c), f) -
                                                          ReadSample(b.data(), SampleOffset(f, p, c), f)));
    return largest;
}

}  // namespace

TEST(FrameCodecReferences, PydicomSamplesDecodeAsGdcmAndDcmtkDecodeThem) {
    if (!HaveTool("gdcmconv") || !HaveTool("dcmdjpls"))
        GTEST_SKIP() << "gdcmconv or dcmdjpls is not installed";
    struct Sample {
        const char* name;
        const char* reference;  // the tool's command, ahead of the input and output files
        bool lossy;
    };
    const Sample samples[] = {
        {"MR_small_jpeg_ls_lossless.dcm", "dcmdjpls", false},
        {"MR_small_jpeg_ls_lossless.dcm", "gdcmconv --raw", false},
        {"MR_small_jp2klossless.dcm", "gdcmconv --raw", false},
        {"GDCMJ2K_TextGBR.dcm", "gdcmconv --raw", false},  // YBR_RCT, 3 components
        {"J2K_pixelrep_mismatch.dcm", "gdcmconv --raw", false},
        {"693_J2KI.dcm", "gdcmconv --raw", true},  // 14 bits stored, signed
        {"JPEG2000.dcm", "gdcmconv --raw", true},
        {"SC_rgb_gdcm_KY.dcm", "gdcmconv --raw", true},  // RGB, lossy
    };
    TempDir dir;
    for (const Sample& s : samples) {
        SCOPED_TRACE(std::string(s.name) + " against " + s.reference);
        std::string file = PydicomFile(s.name);
        std::string syntax;
        FrameFormat stored = StoredFormat(file, syntax);
        const FrameCodec* codec = FindFrameCodec(TransferSyntax(syntax));
        ASSERT_NE(codec, nullptr) << syntax;
        testing_support::PixelFile pixels = ReadPixelFile(file);
        ASSERT_TRUE(pixels.ok);
        CodedFrame ours;
        std::string reason;
        ASSERT_TRUE(codec->Decode(pixels.frames[0], stored, ours, reason)) << reason;
        std::string native = dir.File("native.dcm");
        ASSERT_TRUE(RunTool(std::string(s.reference) + " '" + file + "' '" + native + "'"));
        std::string nativeSyntax;
        FrameFormat theirFormat = StoredFormat(native, nativeSyntax);
        EXPECT_EQ(theirFormat.photometric, ours.format.photometric);
        std::vector<uint8_t> theirs = ReadPixelFile(native).native;
        ASSERT_GE(theirs.size(), ours.bytes.size());
        theirs.resize(ours.bytes.size());
        if (s.lossy)
            EXPECT_LE(MeanAbsoluteDifference(ours.bytes, theirs, ours.format), 1.0);
        else
            EXPECT_EQ(ours.bytes, theirs);
    }
}

namespace {

void AddUS(ElementList& list, uint16_t element, uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    list.Append(NewElement(0x0028, element, 2, bytes, "US"));
}

void AddText(ElementList& list, uint16_t group, uint16_t element, std::string text, const char* vr) {
    if (text.size() % 2) text.push_back(std::string(vr) == "UI" ? '\0' : ' ');
    list.Append(NewElement(group, element, static_cast<int32_t>(text.size()), text.data(), vr));
}

// A secondary capture image in `syntax` whose one frame is `coded`.
std::string WriteEncapsulated(const TempDir& dir, const CodedFrame& coded, const std::string& syntax) {
    const FrameFormat& f = coded.format;
    ElementList data;
    AddText(data, 0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7", "UI");
    AddText(data, 0x0008, 0x0018, "1.2.826.0.1.3680043.2.7777.2.1", "UI");
    AddUS(data, 0x0002, f.samplesPerPixel);
    AddText(data, 0x0028, 0x0004, f.photometric, "CS");
    if (f.samplesPerPixel == 3) AddUS(data, 0x0006, 0);
    AddUS(data, 0x0010, static_cast<uint16_t>(f.rows));
    AddUS(data, 0x0011, static_cast<uint16_t>(f.columns));
    AddUS(data, 0x0100, f.bitsAllocated);
    AddUS(data, 0x0101, f.bitsStored);
    AddUS(data, 0x0102, static_cast<uint16_t>(f.bitsStored - 1));
    AddUS(data, 0x0103, f.isSigned ? 1 : 0);
    std::vector<uint8_t> fragment = coded.bytes;
    if (fragment.size() % 2) fragment.push_back(0);
    data.Append(NewElement(0x7FE0, 0x0010, -1, nullptr, "OB"));
    data.Append(NewElement(0xFFFE, 0xE000, 0, nullptr, "DL"));
    data.Append(NewElement(0xFFFE, 0xE000, static_cast<int32_t>(fragment.size()), fragment.data(), "DL"));
    data.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    ElementList meta;
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.826.0.1.3680043.2.7777.2.1", syntax, true);
    std::string file = dir.File("ours.dcm");
    return WritePart10File(file, &meta, data, true, false) ? file : "";
}

// CT_small's frame (16 bits, signed) and an RGB frame DCMTK decoded from a pydicom sample.
struct Source {
    FrameFormat format;
    std::vector<uint8_t> pixels;
};

Source NativeSource(const TempDir& dir, const char* name, bool decodeJpeg) {
    std::string file = PydicomFile(name);
    if (decodeJpeg) {
        std::string native = dir.File("source.dcm");
        if (!RunTool("dcmdjpeg '" + file + "' '" + native + "'")) return {};
        file = native;
    }
    std::string syntax;
    Source source{StoredFormat(file, syntax), ReadPixelFile(file).native};
    source.pixels.resize(source.format.FrameBytes());
    return source;
}

}  // namespace

TEST(FrameCodecReferences, OurFramesDecodeInDcmdjplsAndGdcmconv) {
    if (!HaveTool("gdcmconv") || !HaveTool("dcmdjpls") || !HaveTool("dcmdjpeg"))
        GTEST_SKIP() << "gdcmconv, dcmdjpls or dcmdjpeg is not installed";
    struct Case {
        const char* syntax;
        const char* reference;
        int64_t largestError;  // -1: lossy, compared with our own decoder
    };
    const Case cases[] = {
        {PELLA_JPEG_LS_LOSSLESS, "dcmdjpls", 0},
        {PELLA_JPEG_LS_NEAR_LOSSLESS, "dcmdjpls", 2},
        {PELLA_JPEG_2000_LOSSLESS, "gdcmconv --raw", 0},
        {PELLA_JPEG_2000, "gdcmconv --raw", -1},
    };
    TempDir dir;
    const Source sources[] = {NativeSource(dir, "CT_small.dcm", false),
                              NativeSource(dir, "SC_rgb_jpeg_dcmd.dcm", true)};
    for (const Source& source : sources) {
        ASSERT_FALSE(source.pixels.empty());
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.syntax) + " of " + source.format.photometric + " through " +
                         c.reference);
            const FrameCodec* codec = FindFrameCodec(TransferSyntax(c.syntax));
            ASSERT_NE(codec, nullptr);
            CodedFrame coded;
            std::string reason;
            ASSERT_TRUE(
                codec->Encode(source.pixels, source.format, TransferSyntax(c.syntax), {}, coded, reason))
                << reason;
            std::string file = WriteEncapsulated(dir, coded, c.syntax);
            ASSERT_FALSE(file.empty());
            std::string native = dir.File("theirs.dcm");
            ASSERT_TRUE(RunTool(std::string(c.reference) + " '" + file + "' '" + native + "'"));
            std::string syntax;
            FrameFormat theirFormat = StoredFormat(native, syntax);
            EXPECT_EQ(theirFormat.photometric, source.format.photometric);
            std::vector<uint8_t> theirs = ReadPixelFile(native).native;
            ASSERT_GE(theirs.size(), source.pixels.size());
            theirs.resize(source.pixels.size());
            if (c.largestError >= 0) {
                EXPECT_LE(LargestDifference(theirs, source.pixels, source.format), c.largestError);
                if (c.largestError == 0) {
                    EXPECT_EQ(theirs, source.pixels);
                }
            } else {
                CodedFrame ours;
                ASSERT_TRUE(codec->Decode(coded.bytes, coded.format, ours, reason)) << reason;
                EXPECT_LE(MeanAbsoluteDifference(ours.bytes, theirs, source.format), 1.0);
            }
        }
    }
}

namespace {

// The samples of a binary PGM or PPM file of any maximum value (two bytes, big endian, above 255).
std::vector<int32_t> ReadPnmSamples(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    if (!in || (magic != "P5" && magic != "P6")) return {};
    std::size_t count = std::size_t(width) * height * (magic == "P6" ? 3 : 1);
    std::vector<int32_t> samples(count);
    for (int32_t& sample : samples) {
        int high = maxValue > 255 ? in.get() : 0;
        sample = high * 256 + in.get();
    }
    return in ? samples : std::vector<int32_t>{};
}

}  // namespace

TEST(FrameCodecReferences, OurHtj2kFramesExpandInOpenJphToTheSamePixels) {
    if (!HaveTool("ojph_expand") || !HaveTool("dcmdjpeg"))
        GTEST_SKIP() << "ojph_expand or dcmdjpeg is not installed";
    TempDir dir;
    Source ct = NativeSource(dir, "CT_small.dcm", false);
    // CT_small's samples as 12-bit unsigned values, for a tool that writes unsigned samples.
    ct.format.isSigned = false;
    ct.format.bitsStored = 12;
    const Source sources[] = {ct, NativeSource(dir, "SC_rgb_jpeg_dcmd.dcm", true)};
    const FrameCodec* codec = FindFrameCodec(TransferSyntax(PELLA_HTJ2K_LOSSLESS));
    ASSERT_NE(codec, nullptr);
    for (const Source& source : sources) {
        SCOPED_TRACE(source.format.photometric);
        ASSERT_FALSE(source.pixels.empty());
        CodedFrame coded;
        std::string reason;
        ASSERT_TRUE(codec->Encode(source.pixels, source.format, TransferSyntax(PELLA_HTJ2K_LOSSLESS), {},
                                  coded, reason))
            << reason;
        std::string stream = dir.File("frame.j2c");
        std::ofstream(stream, std::ios::binary)
            .write(reinterpret_cast<const char*>(coded.bytes.data()),
                   static_cast<std::streamsize>(coded.bytes.size()));
        std::string expanded = dir.File(source.format.samplesPerPixel == 3 ? "frame.ppm" : "frame.pgm");
        ASSERT_TRUE(RunTool("ojph_expand -i '" + stream + "' -o '" + expanded + "'"));
        std::vector<int32_t> theirs = ReadPnmSamples(expanded);
        const FrameFormat& f = source.format;
        std::size_t pixels = std::size_t{f.rows} * f.columns;
        ASSERT_EQ(theirs.size(), pixels * f.samplesPerPixel);
        std::size_t differing = 0;
        for (std::size_t p = 0; p < pixels; ++p)
            for (std::size_t c = 0; c < f.samplesPerPixel; ++c)
                differing += theirs[p * f.samplesPerPixel + c] !=
                             ReadSample(source.pixels.data(), SampleOffset(f, p, c), f);
        EXPECT_EQ(differing, 0u);
    }
}
