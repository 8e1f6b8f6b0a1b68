#include "data/convert/pixel_data_conversion.h"

#include <cstring>
#include <exception>
#include <vector>

#include "data/convert/encapsulated_frames.h"
#include "data/convert/value_byte_order.h"
#include "data/jpeg/jpeg_codec.h"

namespace pella {

namespace {

// A compressed frame never holds more than this many times its own size in samples (baseline
// JPEG codes an empty 8x8 block in a few bits); a larger geometry is a lie about the data.
constexpr uint64_t kMaxCompressionRatio = 256;
// The largest even value an element length can hold.
constexpr uint64_t kMaxPixelBytes = 0x7FFFFFFEu;

struct Sizes {
    uint64_t frame = 0;
    uint64_t total = 0;
};

// The colour space a JPEG frame holds when the stream itself does not say.
JpegColourSpace DeclaredColourSpace(const ImageGeometry& g) {
    if (g.photometric == "RGB") return JpegColourSpace::Rgb;
    if (g.photometric.rfind("YBR_", 0) == 0) return JpegColourSpace::YCbCr;
    return JpegColourSpace::Unstated;
}

JpegFrameShape ShapeOf(const ImageGeometry& g) {
    return {g.columns, g.rows, g.Samples(), DeclaredColourSpace(g)};
}

// Bytes reversed together on a change of byte order: the sample size above 8 bits; for 8-bit
// samples, the 16-bit words of an OW value.
std::size_t SampleUnit(const ImageGeometry& g, const char* vr) {
    switch (g.bitsAllocated) {
        case 16:
            return 2;
        case 32:
            return 4;
        case 64:
            return 8;
        default:
            return g.bitsAllocated <= 8 && VrIs(vr, "OW") ? 2 : 0;
    }
}

bool CheckGeometry(const ImageGeometry& g, Sizes& sizes) {
    if (g.rows == 0 || g.columns == 0 || g.bitsAllocated == 0)
        return ConversionFailed("pixel data without Rows, Columns or Bits Allocated");
    if (!g.FrameSize(sizes.frame) || !g.TotalSize(sizes.total) || sizes.total > kMaxPixelBytes)
        return ConversionFailed(
            "the image geometry announces more pixel data than an element "
            "can hold");
    return true;
}

// JPEG frames carry 8 or 16 bits per sample here; packed 12-bit samples (1.5 bytes) have no
// memory layout the codec could read or write.
bool CheckJpegBits(const ImageGeometry& g, const std::string& syntax) {
    bool baseline = TransferSyntax(syntax).Codec() == SyntaxCodec::kJpegBaseline;
    if (g.bitsAllocated == 8 || (!baseline && g.bitsAllocated == 16)) return true;
    return ConversionFailed(std::to_string(g.bitsAllocated) + " bits allocated cannot be coded as " +
                            (baseline ? "JPEG baseline (8 bits only)" : "JPEG lossless (8 or 16 bits only)"));
}

bool DecodeFrame(const DataElement& fragment, const ImageGeometry& g, uint8_t* destination,
                 uint64_t frameBytes) {
    if (!HasValue(fragment)) return false;
    const auto length = static_cast<std::size_t>(fragment.length);
    if (g.bitsAllocated == 8) return JpegDecode8(fragment.value, length, ShapeOf(g), destination, frameBytes);
    return JpegDecode16(fragment.value, length, ShapeOf(g), destination, frameBytes);
}

// Decodes every frame into `pixels` (total bytes), each into its own frame-sized window.
bool DecodeFrames(const ElementList& input, std::size_t& index, const PixelDataJob& job, const Sizes& sizes,
                  std::vector<uint8_t>& pixels) {
    if (!IsJpegSyntax(job.sourceSyntax))
        return ConversionFailed("encapsulated pixel data in " + job.sourceSyntax +
                                " cannot be decoded (only JPEG lossless and baseline can)");
    if (!CheckJpegBits(job.geometry, job.sourceSyntax)) return false;
    EncapsulatedFrames frames;
    std::string reason;
    if (!CollectFrames(input, index, job.geometry.frames, frames, reason)) return ConversionFailed(reason);
    if (sizes.total / kMaxCompressionRatio > frames.compressedBytes)
        return ConversionFailed("the image geometry announces " + std::to_string(sizes.total) +
                                " bytes of pixels for " + std::to_string(frames.compressedBytes) +
                                " compressed bytes");
    pixels.assign(static_cast<std::size_t>(sizes.total), 0);
    for (std::size_t k = 0; k < frames.fragments.size(); ++k) {
        if (!DecodeFrame(*frames.fragments[k], job.geometry, pixels.data() + k * sizes.frame, sizes.frame))
            return ConversionFailed("frame " + std::to_string(k + 1) + " cannot be decoded");
    }
    index = frames.lastIndex;
    return true;
}

bool CopyNative(const DataElement& pixelData, const PixelDataJob& job, const Sizes& sizes,
                std::vector<uint8_t>& pixels) {
    auto length = static_cast<uint64_t>(pixelData.length > 0 ? pixelData.length : 0);
    if (length != sizes.total && length != sizes.total + 1)
        return ConversionFailed("native pixel data hold " + std::to_string(length) +
                                " bytes; the image geometry announces " + std::to_string(sizes.total));
    // The value is swapped back whole, pad byte included: in an odd-length OW value the last
    // sample stands in the first byte of the last word.
    pixels.assign(pixelData.value, pixelData.value + length);
    if (pixels.size() % 2) pixels.push_back(0);
    if (job.flags.sourceBigEndian)
        ReverseNumbers(pixels.data(), pixels.size(), SampleUnit(job.geometry, pixelData.vr));
    pixels.resize(static_cast<std::size_t>(sizes.total));
    return true;
}

// The VR of native pixel data in the target: as the source had it when that was explicit and
// native, else OB for 8-bit samples and OW for larger ones.
const char* NativeVR(const DataElement& pixelData, const PixelDataJob& job) {
    if (job.flags.sourceExplicit && pixelData.length != kUndefinedLength) return pixelData.vr;
    return job.geometry.bitsAllocated <= 8 ? "OB" : "OW";
}

void AppendNative(std::vector<uint8_t>& pixels, const DataElement& pixelData, const PixelDataJob& job,
                  ConvertedOutput& output) {
    const char* vr = NativeVR(pixelData, job);
    // Padded first, then swapped: an odd last sample becomes the low byte of the last word.
    if (pixels.size() % 2) pixels.push_back(0);  // values have even length
    if (job.flags.targetBigEndian) ReverseNumbers(pixels.data(), pixels.size(), SampleUnit(job.geometry, vr));
    output.Append(NewElement(0x7FE0, 0x0010, static_cast<int32_t>(pixels.size()), pixels.data(), vr));
}

std::vector<uint8_t> EncodeFrame(const uint8_t* frame, uint64_t frameBytes, const PixelDataJob& job) {
    JpegFrameShape shape = ShapeOf(job.geometry);
    if (job.geometry.bitsAllocated == 16) return JpegEncode16(frame, frameBytes, shape);
    bool baseline = TransferSyntax(job.targetSyntax).Codec() == SyntaxCodec::kJpegBaseline;
    JpegMode mode = baseline ? JpegMode::Baseline : JpegMode::Lossless;
    return JpegEncode8(frame, frameBytes, shape, mode);
}

void AppendDelimiter(ConvertedOutput& output, uint16_t element, std::vector<uint8_t>* bytes) {
    if (bytes != nullptr && bytes->size() % 2) bytes->push_back(0);  // fragments have even length
    int32_t length = bytes != nullptr ? static_cast<int32_t>(bytes->size()) : 0;
    output.Append(NewElement(0xFFFE, element, length, bytes != nullptr ? bytes->data() : nullptr, "DL"));
}

bool AppendEncapsulated(const std::vector<uint8_t>& pixels, const PixelDataJob& job, const Sizes& sizes,
                        ConvertedOutput& output) {
    if (!CheckJpegBits(job.geometry, job.targetSyntax)) return false;
    if (job.geometry.colour && job.geometry.planar)
        return ConversionFailed(
            "colour planes stored one after the other (Planar Configuration "
            "1) cannot be coded as JPEG");
    output.Append(NewElement(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
    AppendDelimiter(output, 0xE000, nullptr);  // empty basic offset table
    for (int64_t k = 0; k < job.geometry.frames; ++k) {
        std::vector<uint8_t> compressed;
        try {
            compressed = EncodeFrame(pixels.data() + k * sizes.frame, sizes.frame, job);
        } catch (const std::exception& error) {
            return ConversionFailed("frame " + std::to_string(k + 1) + ": " + error.what());
        }
        if (compressed.size() > kMaxPixelBytes)
            return ConversionFailed("frame " + std::to_string(k + 1) + " compresses too large");
        AppendDelimiter(output, 0xE000, &compressed);
    }
    AppendDelimiter(output, 0xE0DD, nullptr);
    return true;
}

}  // namespace

bool ConvertPixelData(const ElementList& input, std::size_t& index, const PixelDataJob& job,
                      ConvertedOutput& output) {
    const DataElement& pixelData = input[index];
    // Native to native in the same byte order: the bytes stay as they are, whatever layout the
    // pixels have (subsampled colour, padding), so nothing about the geometry needs checking.
    if (pixelData.length != kUndefinedLength && !IsJpegSyntax(job.targetSyntax) &&
        job.flags.sourceBigEndian == job.flags.targetBigEndian) {
        std::vector<uint8_t> same;
        if (HasValue(pixelData)) same.assign(pixelData.value, pixelData.value + pixelData.length);
        AppendNative(same, pixelData, job, output);
        return true;
    }
    Sizes sizes;
    if (!CheckGeometry(job.geometry, sizes)) return false;
    std::vector<uint8_t> pixels;
    bool filled = pixelData.length == kUndefinedLength ? DecodeFrames(input, index, job, sizes, pixels)
                                                       : CopyNative(pixelData, job, sizes, pixels);
    if (!filled) return false;
    if (!IsJpegSyntax(job.targetSyntax)) {
        AppendNative(pixels, pixelData, job, output);
        return true;
    }
    return AppendEncapsulated(pixels, job, sizes, output);
}

}  // namespace pella
