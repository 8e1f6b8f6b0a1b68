#include "imaging/thumbnail.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/bitmap_jpeg.h"
#include "imaging/decimal_text.h"
#include "imaging/gray_level.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool Fail(const std::string& file, const std::string& reason) {
    LogFailure("CreateThumbnail: " + file + ": " + reason);
    return false;
}

int64_t ModalityAt(const ThumbnailImage& t, uint32_t x, uint32_t y) {
    return ModalityValue(StoredSample(t.image, std::size_t{y} * t.image.columns + x), t.slope, t.intercept);
}

bool WriteWhole(const std::string& fileName, const std::vector<uint8_t>& bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    bool ok =
        out &&
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) &&
        out.flush();
    out.close();
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(fileName, ignored);
    }
    return ok;
}

bool MakeThumbnail(ThumbnailImage& thumbnail, int32_t width, Bitmap& bitmap, std::string& reason) {
    thumbnail.scale = static_cast<float>(width) / static_cast<float>(thumbnail.image.columns);
    auto height = static_cast<int64_t>(static_cast<float>(thumbnail.image.rows) * thumbnail.scale);
    if (height <= 0) {
        reason = "a width of " + std::to_string(width) + " gives a height of 0";
        return false;
    }
    if (!FitsBitmap(PixelFormat::Bgr24, static_cast<uint64_t>(width), static_cast<uint64_t>(height))) {
        reason = "a thumbnail of " + std::to_string(width) + " x " + std::to_string(height) + " is too large";
        return false;
    }
    if (thumbnail.image.Colour()) {
        MakeRgbBitmap(bitmap, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        DrawRgbThumbnail(thumbnail, bitmap);
    } else {
        MakeGrayBitmap(bitmap, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        RescaleThumbnailPixels(thumbnail);
        DrawGrayThumbnail(thumbnail, bitmap);
    }
    return true;
}

}  // namespace

bool ReadThumbnailPixels(ThumbnailImage& thumbnail, const ElementList& dataList, std::string& reason) {
    if (!ReadImageAttributes(dataList, thumbnail.image, reason)) return false;
    const ImageAttributes& image = thumbnail.image;
    uint64_t expected = uint64_t{image.frames} * image.frameBytes;
    if (image.pixelBytes != expected && image.pixelBytes != expected + 1) {
        reason = "the pixel data hold " + std::to_string(image.pixelBytes) + " bytes, not " +
                 std::to_string(image.frames) + " frame(s) of " + std::to_string(image.frameBytes);
        return false;
    }
    thumbnail.invert = image.Monochrome1();
    return true;
}

void RescaleThumbnailPixels(ThumbnailImage& thumbnail) {
    const ImageAttributes& image = thumbnail.image;
    thumbnail.windowCentre = LeadingInteger(image.windowCentre);
    thumbnail.windowWidth = LeadingInteger(image.windowWidth);
    if (thumbnail.windowWidth <= 0) thumbnail.windowWidth = 255;
    if (image.bitsAllocated == 8) thumbnail.windowCentre = 127;
    thumbnail.slope = LeadingNumber(image.rescaleSlope, 0);
    thumbnail.intercept = LeadingNumber(image.rescaleIntercept, 0);
    if (thumbnail.slope == 0) {
        thumbnail.slope = 1;
        thumbnail.intercept = 0;
    }
}

int64_t SampleBilinear(const ThumbnailImage& t, float x, float y) {
    auto x0 = static_cast<uint32_t>(x), y0 = static_cast<uint32_t>(y);
    float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    double p00 = static_cast<double>(ModalityAt(t, x0, y0));
    double p10 = static_cast<double>(ModalityAt(t, x0 + 1, y0));
    double p01 = static_cast<double>(ModalityAt(t, x0, y0 + 1));
    double p11 = static_cast<double>(ModalityAt(t, x0 + 1, y0 + 1));
    double value =
        (1 - fx - fy + fx * fy) * p00 + (fx - fx * fy) * p10 + (fy - fx * fy) * p01 + fx * fy * p11;
    return static_cast<int64_t>(std::trunc(value));
}

void DrawGrayThumbnail(const ThumbnailImage& t, Bitmap& bitmap) {
    bitmap.Fill(Rgb{});
    const float lastRow = static_cast<float>(t.image.rows) - 1,
                lastColumn = static_cast<float>(t.image.columns) - 1;
    for (uint32_t i = 0; i + 1 < bitmap.Height(); ++i) {
        float y = static_cast<float>(i) / t.scale;
        if (!(y > 0 && y < lastRow)) continue;
        uint8_t* row = bitmap.Row(i);
        for (uint32_t j = 0; j + 1 < bitmap.Width(); ++j) {
            float x = static_cast<float>(j) / t.scale;
            if (x > 0 && x < lastColumn)
                row[j] = WindowLevel(SampleBilinear(t, x, y), t.windowCentre, t.windowWidth, t.invert);
        }
    }
}

void DrawRgbThumbnail(const ThumbnailImage& t, Bitmap& bitmap) {
    bitmap.Fill(Rgb{});
    for (uint32_t i = 0; i + 1 < bitmap.Height(); ++i) {
        auto y = static_cast<int64_t>(static_cast<float>(i) / t.scale);
        if (!(y > 0 && y < int64_t{t.image.rows} - 1)) continue;
        uint8_t* row = bitmap.Row(i);
        for (uint32_t j = 0; j + 1 < bitmap.Width(); ++j) {
            auto x = static_cast<int64_t>(static_cast<float>(j) / t.scale);
            if (x <= 0 || x >= int64_t{t.image.columns} - 1) continue;
            uint8_t rgb[3];
            RgbSample(t.image, static_cast<std::size_t>(y) * t.image.columns + static_cast<std::size_t>(x),
                      rgb);
            row[3 * j] = rgb[2];
            row[3 * j + 1] = rgb[1];
            row[3 * j + 2] = rgb[0];
        }
    }
}

std::string ThumbnailFileName(const std::string& outputName) {
    std::filesystem::path path(outputName);
    path.replace_extension(".jpg");
    return path.string();
}

bool CreateThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width) {
    if (width <= 0)
        return Fail(dicomFileName, "the thumbnail width must be at least 1, not " + std::to_string(width));
    ElementList list;
    ThumbnailImage thumbnail;
    Bitmap bitmap;
    std::vector<uint8_t> jpeg;
    std::string reason;
    if (!ReadImageDataset(dicomFileName, list, reason) || !ReadThumbnailPixels(thumbnail, list, reason) ||
        !MakeThumbnail(thumbnail, width, bitmap, reason) ||
        !EncodeJpeg(bitmap, kThumbnailQuality, jpeg, reason))
        return Fail(dicomFileName, reason);
    std::string fileName = ThumbnailFileName(outputName);
    if (!WriteWhole(fileName, jpeg)) return Fail(dicomFileName, "cannot write " + fileName);
    return true;
}

}  // namespace pella
