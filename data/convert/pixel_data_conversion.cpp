#include "data/convert/pixel_data_conversion.h"

#include <exception>
#include <span>
#include <vector>

#include "data/codec/codec_registry.h"
#include "data/convert/encapsulated_frames.h"
#include "data/convert/value_byte_order.h"

namespace pella {

namespace {

// Compressed pixel data announcing more than this many times its own size in samples is taken
// for a lie about the data, so that a few bytes cannot make the decoder claim gigabytes...
constexpr uint64_t kMaxCompressionRatio = 256;
// ...once the pixels exceed this size. Below it any ratio goes: a flat or empty image codes in a
// few hundred bytes (JPEG 2000 and JPEG-LS code an empty code-block or run in a few bits).
constexpr uint64_t kRatioFreePixelBytes = 64u << 20;
// The largest even value an element length can hold.
constexpr uint64_t kMaxPixelBytes = 0x7FFFFFFEu;

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

// Bytes of all frames as the attributes describe them natively (subsampled colour counted as
// it is stored).
bool NativeTotal(const ImageGeometry& g, uint64_t& total) {
    if (g.rows == 0 || g.columns == 0 || g.bitsAllocated == 0)
        return ConversionFailed("pixel data without Rows, Columns or Bits Allocated");
    uint64_t frame = FormatOf(g).FrameBytes();
    bool fits = frame > 0 ? !__builtin_mul_overflow(frame, static_cast<uint64_t>(g.frames), &total)
                          : g.TotalSize(total);
    if (!fits || total > kMaxPixelBytes)
        return ConversionFailed("the image geometry announces more pixel data than an element can hold");
    return true;
}

bool SameFormat(const FrameFormat& a, const FrameFormat& b) {
    return a.rows == b.rows && a.columns == b.columns && a.samplesPerPixel == b.samplesPerPixel &&
           a.bitsAllocated == b.bitsAllocated && a.photometric == b.photometric && a.planar == b.planar;
}

// Decodes every frame into `pixels`; `format` becomes the decoded frames' layout.
bool DecodeFrames(const ElementList& input, std::size_t index, const PixelDataJob& job,
                  std::vector<uint8_t>& pixels, ConvertedPixels& out) {
    const FrameCodec* codec = FindFrameCodec(job.source);
    if (codec == nullptr)
        return ConversionFailed("encapsulated pixel data in " + job.source.Name() +
                                " cannot be decoded: no codec here for it");
    EncapsulatedFrames frames;
    std::string reason;
    if (!CollectFrames(input, index, job.geometry.frames, job.extendedOffsets, frames, reason))
        return ConversionFailed(reason);
    uint64_t total = 0;
    if (!NativeTotal(job.geometry, total)) return false;
    if (total > kRatioFreePixelBytes && total / kMaxCompressionRatio > frames.compressedBytes)
        return ConversionFailed("the image geometry announces " + std::to_string(total) +
                                " bytes of pixels for " + std::to_string(frames.compressedBytes) +
                                " compressed bytes");
    const FrameFormat stored = FormatOf(job.geometry);
    std::vector<uint8_t> joined;
    for (std::size_t k = 0; k < frames.frames.size(); ++k) {
        CodedFrame decoded;
        if (!codec->Decode(frames.FrameBytes(k, joined), stored, decoded, reason))
            return ConversionFailed("frame " + std::to_string(k + 1) + " cannot be decoded: " + reason);
        if (decoded.bytes.size() != decoded.format.FrameBytes() ||
            (k > 0 && !SameFormat(decoded.format, out.format)))
            return ConversionFailed("frame " + std::to_string(k + 1) +
                                    " decodes to another layout than the image's");
        out.format = decoded.format;
        if (pixels.size() + decoded.bytes.size() > kMaxPixelBytes)
            return ConversionFailed("the decoded pixels do not fit one element");
        if (pixels.empty())
            pixels = std::move(decoded.bytes);  // the first frame is kept, not copied
        else
            pixels.insert(pixels.end(), decoded.bytes.begin(), decoded.bytes.end());
    }
    out.lastIndex = frames.lastIndex;
    return true;
}

// The bytes of native pixel data that the image geometry announces (`total`); false when the
// value holds another amount.
bool NativeLength(const DataElement& pixelData, const PixelDataJob& job, uint64_t& total, uint64_t& length) {
    if (!NativeTotal(job.geometry, total)) return false;
    length = static_cast<uint64_t>(pixelData.length > 0 ? pixelData.length : 0);
    if (length != total && length != total + 1)
        return ConversionFailed("native pixel data hold " + std::to_string(length) +
                                " bytes; the image geometry announces " + std::to_string(total));
    return true;
}

bool CopyNative(const DataElement& pixelData, const PixelDataJob& job, std::vector<uint8_t>& pixels,
                ConvertedPixels& out) {
    uint64_t total = 0, length = 0;
    if (!NativeLength(pixelData, job, total, length)) return false;
    // The value is swapped back whole, pad byte included: in an odd-length OW value the last
    // sample stands in the first byte of the last word.
    pixels.assign(pixelData.value, pixelData.value + length);
    if (pixels.size() % 2) pixels.push_back(0);
    if (job.flags.sourceBigEndian)
        ReverseNumbers(pixels.data(), pixels.size(), SampleUnit(job.geometry, pixelData.vr));
    pixels.resize(static_cast<std::size_t>(total));
    out.format = FormatOf(job.geometry);
    return true;
}

// The VR of native pixel data in the target: as the source had it when that was explicit and
// native, else OB for 8-bit samples and OW for larger ones.
const char* NativeVR(const DataElement& pixelData, const PixelDataJob& job) {
    if (job.flags.sourceExplicit && pixelData.length != kUndefinedLength) return pixelData.vr;
    return job.geometry.bitsAllocated <= 8 ? "OB" : "OW";
}

void AppendNative(std::vector<uint8_t>& pixels, const DataElement& pixelData, const PixelDataJob& job,
                  ElementList& output) {
    const char* vr = NativeVR(pixelData, job);
    // Padded first, then swapped: an odd last sample becomes the low byte of the last word.
    if (pixels.size() % 2) pixels.push_back(0);  // values have even length
    if (job.flags.targetBigEndian) ReverseNumbers(pixels.data(), pixels.size(), SampleUnit(job.geometry, vr));
    output.Append(NewElement(0x7FE0, 0x0010, static_cast<int32_t>(pixels.size()), pixels.data(), vr));
}

void AppendItem(ElementList& output, uint16_t element, std::vector<uint8_t>* bytes) {
    if (bytes != nullptr && bytes->size() % 2) bytes->push_back(0);  // fragments have even length
    int32_t length = bytes != nullptr ? static_cast<int32_t>(bytes->size()) : 0;
    output.Append(
        NewElement(0xFFFE, element, length, bytes != nullptr && length > 0 ? bytes->data() : nullptr, "DL"));
}

// Encodes each frame into one fragment, behind a Basic Offset Table when there are several.
bool AppendEncapsulated(std::span<const uint8_t> pixels, const PixelDataJob& job, ConvertedPixels& out) {
    const FrameCodec* codec = FindFrameCodec(job.target);
    if (codec == nullptr || !codec->CanEncode(job.target))
        return ConversionFailed("no codec here encodes pixel data in " + job.target.Name());
    const FrameFormat native = out.format;
    const uint64_t frameBytes = native.FrameBytes();
    if (frameBytes == 0 || pixels.size() < frameBytes * static_cast<uint64_t>(job.geometry.frames))
        return ConversionFailed("pixels of " + std::to_string(native.bitsAllocated) +
                                " bits allocated cannot be coded as " + job.target.Name());
    std::vector<std::vector<uint8_t>> fragments;
    std::vector<uint64_t> sizes;
    std::string reason;
    for (int64_t k = 0; k < job.geometry.frames; ++k) {
        CodedFrame coded;
        std::span<const uint8_t> frame(pixels.data() + k * frameBytes, frameBytes);
        bool ok = false;
        try {
            ok = codec->Encode(frame, native, job.target, job.options, coded, reason);
        } catch (const std::exception& error) {
            reason = error.what();
        }
        if (!ok)
            return ConversionFailed("frame " + std::to_string(k + 1) + " cannot be coded as " +
                                    job.target.Name() + ": " + reason);
        if (coded.bytes.size() > kMaxPixelBytes)
            return ConversionFailed("frame " + std::to_string(k + 1) + " compresses too large");
        out.format = coded.format;
        out.encodedBytes += coded.bytes.size();
        sizes.push_back(coded.bytes.size());
        fragments.push_back(std::move(coded.bytes));
    }
    std::vector<uint8_t> table;
    if (!BasicOffsetTable(sizes, table))
        return ConversionFailed("the compressed frames exceed what an offset table can address");
    out.elements.Append(NewElement(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
    AppendItem(out.elements, 0xE000, &table);
    for (auto& fragment : fragments) AppendItem(out.elements, 0xE000, &fragment);
    AppendItem(out.elements, 0xE0DD, nullptr);
    out.lossyEncoded = job.target.Lossy();
    return true;
}

}  // namespace

FrameFormat FormatOf(const ImageGeometry& g) {
    FrameFormat f;
    f.rows = g.rows;
    f.columns = g.columns;
    f.samplesPerPixel = static_cast<uint16_t>(g.Samples());
    f.bitsAllocated = static_cast<uint16_t>(g.bitsAllocated);
    f.bitsStored = static_cast<uint16_t>(g.bitsStored != 0 ? g.bitsStored : g.bitsAllocated);
    f.isSigned = g.isSigned;
    f.planar = g.colour && g.planar;
    f.photometric = g.photometric;
    return f;
}

bool ConvertPixelData(const ElementList& input, std::size_t index, const PixelDataJob& job,
                      ConvertedPixels& out) {
    const DataElement& pixelData = input[index];
    out.lastIndex = index;
    out.format = FormatOf(job.geometry);
    // Native to native in the same byte order: the bytes stay as they are, whatever layout the
    // pixels have (subsampled colour, padding), so nothing about the geometry needs checking.
    if (pixelData.length != kUndefinedLength && !job.target.Encapsulated() &&
        job.flags.sourceBigEndian == job.flags.targetBigEndian) {
        std::vector<uint8_t> same;
        if (HasValue(pixelData)) same.assign(pixelData.value, pixelData.value + pixelData.length);
        AppendNative(same, pixelData, job, out.elements);
        return true;
    }
    // Little-endian native pixels go to the encoder as they stand in the element, uncopied.
    if (pixelData.length != kUndefinedLength && job.target.Encapsulated() && !job.flags.sourceBigEndian) {
        uint64_t total = 0, length = 0;
        if (!NativeLength(pixelData, job, total, length)) return false;
        out.nativeBytes = total;
        return AppendEncapsulated(std::span<const uint8_t>(pixelData.value, total), job, out);
    }
    std::vector<uint8_t> pixels;
    bool filled = pixelData.length == kUndefinedLength ? DecodeFrames(input, index, job, pixels, out)
                                                       : CopyNative(pixelData, job, pixels, out);
    if (!filled) return false;
    out.nativeBytes = pixels.size();
    if (!job.target.Encapsulated()) {
        AppendNative(pixels, pixelData, job, out.elements);
        return true;
    }
    return AppendEncapsulated(pixels, job, out);
}

}  // namespace pella
