#include "imaging/image_pixels.h"

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

bool CheckLayout(const ImageAttributes& image, std::string& reason) {
    if (image.rows == 0 || image.columns == 0) return Refuse(reason, "the image has no rows or columns");
    if (image.Colour()) {
        if (image.bitsAllocated != 8)
            return Refuse(reason, "colour images of " + std::to_string(image.bitsAllocated) +
                                      " bits allocated are not drawn (8 only)");
        if (image.photometric != "RGB")
            return Refuse(reason, "photometric interpretation '" + image.photometric +
                                      "' is not drawn (RGB only for colour)");
        return true;
    }
    if (image.samplesPerPixel != 1)
        return Refuse(reason, std::to_string(image.samplesPerPixel) + " samples per pixel are not drawn");
    if (image.bitsAllocated != 8 && image.bitsAllocated != 16 && image.bitsAllocated != 32)
        return Refuse(reason,
                      std::to_string(image.bitsAllocated) + " bits allocated are not drawn (8, 16 or 32)");
    if (!image.photometric.empty() && image.photometric != "MONOCHROME1" &&
        image.photometric != "MONOCHROME2")
        return Refuse(reason, "photometric interpretation '" + image.photometric + "' is not drawn");
    return true;
}

}  // namespace

bool ReadImageDataset(const std::string& fileName, ElementList& list, std::string& reason) {
    std::string syntax;
    if (!ReadDatasetAndSyntax(fileName, list, syntax))
        return Refuse(reason, "not a readable DICOM Part 10 file with a transfer syntax");
    if (TransferSyntax(syntax).IsNativeLittleEndian()) return true;
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
    image.frameBytes = image.PixelCount() * image.samplesPerPixel * (image.bitsAllocated / 8);
    if (static_cast<std::size_t>(pixels->length > 0 ? pixels->length : 0) < image.frameBytes)
        return Refuse(reason, "the pixel data (" + std::to_string(pixels->length) +
                                  " bytes) are shorter than one frame of " +
                                  std::to_string(image.frameBytes));
    image.pixels = pixels->value;
    image.pixelBytes = static_cast<std::size_t>(pixels->length);
    return true;
}

int64_t StoredSample(const ImageAttributes& image, std::size_t index, bool bigEndian) {
    std::size_t bytes = image.bitsAllocated / 8;
    const uint8_t* p = image.pixels + index * bytes;
    uint64_t raw = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        std::size_t shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        raw |= uint64_t{p[i]} << shift;
    }
    unsigned bits = image.bitsStored;
    raw &= (bits >= 64) ? ~uint64_t{0} : ((uint64_t{1} << bits) - 1);
    if (image.pixelRepresentation == 1 && (raw >> (bits - 1)) & 1)
        return static_cast<int64_t>(raw) - (int64_t{1} << bits);
    return static_cast<int64_t>(raw);
}

void RgbSample(const ImageAttributes& image, std::size_t index, uint8_t rgb[3]) {
    std::size_t plane = image.PixelCount();
    for (std::size_t c = 0; c < 3; ++c)
        rgb[c] =
            image.planarConfiguration == 0 ? image.pixels[3 * index + c] : image.pixels[c * plane + index];
}

}  // namespace pella
