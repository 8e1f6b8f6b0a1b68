#include "imaging/print_image.h"

#include <array>
#include <cstring>

#include "imaging/bitmap_bmp.h"
#include "imaging/bitmap_jpeg.h"
#include "imaging/gray_level.h"
#include "imaging/image_pixels.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

enum class PrintFileKind { Dicom, Jpeg, Bmp };

// The first four characters from the last "." on, in the two spellings the print user knows.
PrintFileKind KindOf(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return PrintFileKind::Dicom;
    std::string extension = fileName.substr(dot, 4);
    if (extension == ".jpg" || extension == ".JPG") return PrintFileKind::Jpeg;
    if (extension == ".bmp" || extension == ".BMP") return PrintFileKind::Bmp;
    return PrintFileKind::Dicom;
}

const char* KindName(PrintFileKind kind) {
    return kind == PrintFileKind::Jpeg ? "JPEG" : kind == PrintFileKind::Bmp ? "BMP" : "DICOM";
}

void DrawRgb(const ImageAttributes& image, Bitmap& bitmap) {
    MakeRgbBitmap(bitmap, image.columns, image.rows);
    for (uint32_t k = 0; k < image.rows; ++k) {
        uint8_t* row = bitmap.Row(k);
        for (uint32_t d = 0; d < image.columns; ++d) {
            uint8_t rgb[3];
            RgbSample(image, std::size_t{k} * image.columns + d, rgb);
            row[3 * d] = rgb[2];
            row[3 * d + 1] = rgb[1];
            row[3 * d + 2] = rgb[0];
        }
    }
}

void DrawGray(const ImageAttributes& image, const GrayDisplay& display, Bitmap& bitmap) {
    MakeGrayBitmap(bitmap, image.columns, image.rows);
    for (uint32_t k = 0; k < image.rows; ++k) {
        uint8_t* row = bitmap.Row(k);
        for (uint32_t d = 0; d < image.columns; ++d)
            row[d] = display.Level(display.Modality(StoredSample(image, std::size_t{k} * image.columns + d)));
    }
}

bool LoadByKind(PrintFileKind kind, const std::string& fileName, Bitmap& bitmap,
                const DisplayOptions& options, std::string& reason) {
    switch (kind) {
        case PrintFileKind::Jpeg:
            return ReadJpegFile(fileName, bitmap, reason);
        case PrintFileKind::Bmp:
            return ReadBmpFile(fileName, bitmap, reason);
        case PrintFileKind::Dicom:
            break;
    }
    return LoadPrintImage(fileName, bitmap, false, reason, options);
}

// Gray level of each palette entry.
std::array<uint8_t, 256> PaletteGray(const Bitmap& bitmap) {
    std::array<uint8_t, 256> gray{};
    for (std::size_t j = 0; j < 256; ++j) {
        const Rgb& entry = bitmap.Palette()[j];
        gray[j] = Luminance(entry.red, entry.green, entry.blue);
    }
    return gray;
}

void AppendUS(ElementList& list, uint16_t element, uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    list.Append(NewElement(0x0028, element, 2, bytes, "US"));
}

}  // namespace

bool LoadPrintImage(const std::string& fileName, Bitmap& bitmap, bool bigEndianSamples, std::string& reason,
                    const DisplayOptions& options) {
    ElementList list;
    ImageAttributes image;
    if (!ReadImageDataset(fileName, list, reason) || !ReadImageAttributes(list, image, reason) ||
        !SelectFrame(image, options.frame, reason))
        return false;
    image.bigEndianSamples = bigEndianSamples;
    if (image.Colour()) {
        DrawRgb(image, bitmap);
        return true;
    }
    GrayDisplay display;
    if (!display.Build(list, image, options, reason)) return false;
    DrawGray(image, display, bitmap);
    return true;
}

bool LoadPrintBitmap(const std::string& fileName, Bitmap& bitmap, const DisplayOptions& options) {
    PrintFileKind kind = KindOf(fileName);
    std::string reason;
    bool loaded = false;
    try {
        loaded = LoadByKind(kind, fileName, bitmap, options, reason);
    } catch (const std::exception& error) {
        reason = error.what();
    }
    if (!loaded) {
        LogFailure(std::string("ERROR: opening ") + KindName(kind) + " File: " + fileName + ": " + reason);
        return false;
    }
    ReduceToGray(bitmap);
    return true;
}

void ReduceToGray(Bitmap& bitmap) {
    if (bitmap.Format() == PixelFormat::Gray8 && bitmap.HasGrayPalette()) return;
    Bitmap gray;
    MakeGrayBitmap(gray, bitmap.Width(), bitmap.Height());
    if (bitmap.Height() > 0) CopyBitmapPixels(bitmap, gray.Row(0));
    bitmap = std::move(gray);
}

bool BuildImagePixelModule(const Bitmap& bitmap, ElementList& list) {
    if (bitmap.Width() == 0 || bitmap.Height() == 0) return false;
    std::size_t count = std::size_t{bitmap.Width()} * bitmap.Height();
    AppendUS(list, 0x0002, 1);
    list.Append(NewElement(0x0028, 0x0004, 12, "MONOCHROME2 ", "CS"));
    AppendUS(list, 0x0010, static_cast<uint16_t>(bitmap.Height()));
    AppendUS(list, 0x0011, static_cast<uint16_t>(bitmap.Width()));
    AppendUS(list, 0x0100, 8);
    AppendUS(list, 0x0101, 8);
    AppendUS(list, 0x0102, 7);
    AppendUS(list, 0x0103, 0);
    ElementPtr pixels = NewElementToFill(0x7FE0, 0x0010, static_cast<int32_t>(count + count % 2), "OB");
    pixels->value[pixels->length - 1] = 0;
    if (!CopyBitmapPixels(bitmap, pixels->value)) return false;
    list.Append(std::move(pixels));
    return true;
}

bool CopyBitmapPixels(const Bitmap& bitmap, uint8_t* buffer) {
    std::size_t width = bitmap.Width();
    if (bitmap.Format() == PixelFormat::Gray8) {
        std::array<uint8_t, 256> gray = PaletteGray(bitmap);
        for (uint32_t r = 0; r < bitmap.Height(); ++r)
            for (std::size_t c = 0; c < width; ++c) buffer[r * width + c] = gray[bitmap.Row(r)[c]];
        return true;
    }
    std::size_t step = BytesPerPixel(bitmap.Format());
    for (uint32_t r = 0; r < bitmap.Height(); ++r) {
        const uint8_t* p = bitmap.Row(r);
        for (std::size_t c = 0; c < width; ++c, p += step)
            buffer[r * width + c] = Luminance(p[2], p[1], p[0]);
    }
    return true;
}

}  // namespace pella
