#include "imaging/image_pixels.h"

#include <algorithm>
#include <cmath>

#include "data/convert/conversion_syntax.h"
#include "data/convert/file_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "imaging/decimal_text.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool Refuse(std::string& reason, const std::string& text) {
    reason = text;
    return false;
}

// Every syntax but native little endian is decoded to it first: big endian, and any whose
// pixel data the codec registry decodes.
bool NeedsConversion(const std::string& syntax) {
    return CanConvertFrom(syntax);
}

bool IsYbr(const std::string& photometric) {
    return photometric == "YBR_FULL" || photometric == "YBR_FULL_422";
}

bool CheckColourLayout(const ImageAttributes& image, std::string& reason) {
    if (image.photometric == "RGB") {
        if (image.bitsAllocated == 8 || image.bitsAllocated == 16 || image.bitsAllocated == 32) return true;
        return Refuse(reason, "RGB images of " + std::to_string(image.bitsAllocated) +
                                  " bits allocated are not drawn (8, 16 or 32)");
    }
    if (!IsYbr(image.photometric))
        return Refuse(reason, "photometric interpretation '" + image.photometric +
                                  "' is not drawn (RGB, YBR_FULL and YBR_FULL_422 for colour)");
    if (image.bitsAllocated != 8)
        return Refuse(reason, image.photometric + " images of " + std::to_string(image.bitsAllocated) +
                                  " bits allocated are not drawn (8 only)");
    if (image.photometric == "YBR_FULL_422" && image.columns % 2 != 0)
        return Refuse(reason, "a YBR_FULL_422 image needs an even number of columns");
    return true;
}

bool CheckLayout(const ImageAttributes& image, std::string& reason) {
    if (image.rows == 0 || image.columns == 0) return Refuse(reason, "the image has no rows or columns");
    if (image.Colour()) return CheckColourLayout(image, reason);
    if (image.samplesPerPixel != 1)
        return Refuse(reason, std::to_string(image.samplesPerPixel) + " samples per pixel are not drawn");
    if (image.bitsAllocated != 1 && image.bitsAllocated != 8 && image.bitsAllocated != 16 &&
        image.bitsAllocated != 32)
        return Refuse(reason,
                      std::to_string(image.bitsAllocated) + " bits allocated are not drawn (1, 8, 16 or 32)");
    if (!image.photometric.empty() && image.photometric != "MONOCHROME1" &&
        image.photometric != "MONOCHROME2")
        return Refuse(reason, "photometric interpretation '" + image.photometric + "' is not drawn");
    return true;
}

// Bytes of one frame: YBR_FULL_422 keeps one blue and one red difference per two pixels; a
// 1-bit frame packs eight pixels in a byte.
std::size_t FrameBytes(const ImageAttributes& image) {
    if (image.bitsAllocated == 1) return (image.PixelCount() + 7) / 8;
    std::size_t bytes = image.PixelCount() * image.samplesPerPixel * (image.bitsAllocated / 8);
    return image.photometric == "YBR_FULL_422" ? bytes / 3 * 2 : bytes;
}

uint64_t SampleAt(const uint8_t* p, std::size_t bytes, bool bigEndian) {
    uint64_t raw = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        raw |= uint64_t{p[i]} << (bigEndian ? 8 * (bytes - 1 - i) : 8 * i);
    return raw;
}

uint8_t ClampByte(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void YbrToRgb(uint8_t y, uint8_t cb, uint8_t cr, uint8_t rgb[3]) {
    double b = cb - 128.0, r = cr - 128.0;
    rgb[0] = ClampByte(y + 1.402 * r);
    rgb[1] = ClampByte(y - 0.344136 * b - 0.714136 * r);
    rgb[2] = ClampByte(y + 1.772 * b);
}

}  // namespace

bool ReadImageDataset(const std::string& fileName, ElementList& list, std::string& reason) {
    std::string syntax;
    if (!ReadDatasetAndSyntax(fileName, list, syntax))
        return Refuse(reason, "not a readable DICOM Part 10 file with a transfer syntax");
    // A deflated file reads inflated: its elements are explicit VR little endian ones.
    if (TransferSyntax(syntax).ElementSyntax().IsNativeLittleEndian()) return true;
    if (!NeedsConversion(syntax))
        return Refuse(reason,
                      "transfer syntax " + syntax + " is not drawn (no codec here decodes its pixel data)");
    ClearLastFailure();
    if (!ConvertListInPlace(list, kExplicitLittleEndian, syntax))
        return Refuse(reason,
                      "cannot decode the pixel data of transfer syntax " + syntax + ": " + LastFailure());
    return true;
}

bool ReadImageAttributes(const ElementList& list, ImageAttributes& image, std::string& reason) {
    image = ImageAttributes{};
    image.photometric = GetElementText(list, 0x0028, 0x0004);
    if (FindElement(list, 0x0028, 0x0002)) image.samplesPerPixel = GetElementUS(list, 0x0028, 0x0002);
    image.planarConfiguration = GetElementUS(list, 0x0028, 0x0006);
    image.rows = GetElementUS(list, 0x0028, 0x0010);
    image.columns = GetElementUS(list, 0x0028, 0x0011);
    image.bitsAllocated = GetElementUS(list, 0x0028, 0x0100);
    image.bitsStored = GetElementUS(list, 0x0028, 0x0101);
    if (image.bitsStored == 0 || image.bitsStored > image.bitsAllocated)
        image.bitsStored = image.bitsAllocated;
    image.pixelRepresentation = GetElementUS(list, 0x0028, 0x0103);
    int32_t frames = LeadingInteger(GetElementText(list, 0x0028, 0x0008), 1);
    image.frames = frames > 0 ? static_cast<uint32_t>(frames) : 1;
    image.windowCentre = GetElementText(list, 0x0028, 0x1050);
    image.windowWidth = GetElementText(list, 0x0028, 0x1051);
    image.rescaleIntercept = GetElementText(list, 0x0028, 0x1052);
    image.rescaleSlope = GetElementText(list, 0x0028, 0x1053);
    const DataElement* pixels = FindElement(list, 0x7FE0, 0x0010);
    if (pixels == nullptr) return Refuse(reason, "the data set has no pixel data");
    if (pixels->length == kUndefinedLength) return Refuse(reason, "the pixel data are encapsulated");
    if (!CheckLayout(image, reason)) return false;
    image.frameBytes = FrameBytes(image);
    if (static_cast<std::size_t>(pixels->length > 0 ? pixels->length : 0) < image.frameBytes)
        return Refuse(reason, "the pixel data (" + std::to_string(pixels->length) +
                                  " bytes) are shorter than one frame of " +
                                  std::to_string(image.frameBytes));
    image.pixels = image.frame = pixels->value;
    image.pixelBytes = static_cast<std::size_t>(pixels->length);
    return true;
}

bool SelectFrame(ImageAttributes& image, uint32_t index, std::string& reason) {
    if (index >= image.frames)
        return Refuse(reason, "frame " + std::to_string(uint64_t{index} + 1) +
                                  " was asked for; the image has " + std::to_string(image.frames));
    if (image.bitsAllocated == 1) {  // frames follow each other bit by bit
        const uint64_t firstBit = uint64_t{index} * image.PixelCount();
        if (uint64_t{image.pixelBytes} * 8 < firstBit + image.PixelCount())
            return Refuse(reason, "the pixel data end before frame " + std::to_string(uint64_t{index} + 1));
        image.frame = image.pixels + firstBit / 8;
        image.frameBit = static_cast<std::size_t>(firstBit % 8);
        return true;
    }
    std::size_t offset = std::size_t{index} * image.frameBytes;
    if (image.pixelBytes < offset + image.frameBytes)
        return Refuse(reason, "the pixel data end before frame " + std::to_string(uint64_t{index} + 1));
    image.frame = image.pixels + offset;
    return true;
}

int64_t StoredSample(const ImageAttributes& image, std::size_t index) {
    if (image.bitsAllocated == 1) {  // the first pixel in a byte's lowest bit
        const std::size_t bit = image.frameBit + index;
        return (image.frame[bit / 8] >> (bit % 8)) & 1;
    }
    std::size_t bytes = image.bitsAllocated / 8;
    uint64_t raw = SampleAt(image.frame + index * bytes, bytes, image.bigEndianSamples);
    unsigned bits = image.bitsStored;
    raw &= (bits >= 64) ? ~uint64_t{0} : ((uint64_t{1} << bits) - 1);
    if (image.pixelRepresentation == 1 && (raw >> (bits - 1)) & 1)
        return static_cast<int64_t>(raw) - (int64_t{1} << bits);
    return static_cast<int64_t>(raw);
}

void RgbSample(const ImageAttributes& image, std::size_t index, uint8_t rgb[3]) {
    const uint8_t* f = image.frame;
    if (image.photometric == "YBR_FULL_422") {  // Y1 Y2 Cb Cr for each pair of pixels
        const uint8_t* pair = f + index / 2 * 4;
        YbrToRgb(pair[index % 2], pair[2], pair[3], rgb);
        return;
    }
    std::size_t bytes = image.bitsAllocated / 8, plane = image.PixelCount();
    uint64_t top = image.bitsStored >= 64 ? ~uint64_t{0} : (uint64_t{1} << image.bitsStored) - 1;
    uint8_t samples[3];
    for (std::size_t c = 0; c < 3; ++c) {
        std::size_t at = image.planarConfiguration == 0 ? 3 * index + c : c * plane + index;
        uint64_t raw = SampleAt(f + at * bytes, bytes, image.bigEndianSamples) & top;
        samples[c] = bytes == 1 ? static_cast<uint8_t>(raw)
                                : ClampByte(static_cast<double>(raw) * 255.0 / static_cast<double>(top));
    }
    if (IsYbr(image.photometric))
        YbrToRgb(samples[0], samples[1], samples[2], rgb);
    else
        std::copy(samples, samples + 3, rgb);
}

}  // namespace pella
