#include "imaging/thumbnail.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/bitmap_jpeg.h"
#include "imaging/bitmap_png.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool Fail(const std::string& file, const std::string& reason) {
    LogFailure("CreateThumbnail: " + file + ": " + reason);
    return false;
}

double ModalityAt(const ThumbnailImage& t, uint32_t x, uint32_t y) {
    return t.display.Modality(StoredSample(t.image, std::size_t{y} * t.image.columns + x));
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
        DrawGrayThumbnail(thumbnail, bitmap);
    }
    return true;
}

}  // namespace

bool ReadThumbnailPixels(ThumbnailImage& thumbnail, const ElementList& dataList,
                         const DisplayOptions& options, std::string& reason) {
    if (!ReadImageAttributes(dataList, thumbnail.image, reason)) return false;
    const ImageAttributes& image = thumbnail.image;
    // Bytes past the last frame (padding) are left alone, as other viewers do.
    if (image.pixelBytes < image.AnnouncedBytes()) {
        reason = "the pixel data hold " + std::to_string(image.pixelBytes) + " bytes, fewer than " +
                 std::to_string(image.frames) + " frame(s) take (" + std::to_string(image.AnnouncedBytes()) +
                 ")";
        return false;
    }
    if (!SelectFrame(thumbnail.image, options.frame, reason)) return false;
    return image.Colour() || thumbnail.display.Build(dataList, image, options, reason);
}

double SampleBilinear(const ThumbnailImage& t, float x, float y) {
    auto x0 = static_cast<uint32_t>(x), y0 = static_cast<uint32_t>(y);
    float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    double p00 = ModalityAt(t, x0, y0), p10 = ModalityAt(t, x0 + 1, y0);
    double p01 = ModalityAt(t, x0, y0 + 1), p11 = ModalityAt(t, x0 + 1, y0 + 1);
    return (1 - fx - fy + fx * fy) * p00 + (fx - fx * fy) * p10 + (fy - fx * fy) * p01 + fx * fy * p11;
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
            if (x > 0 && x < lastColumn) row[j] = t.display.Level(SampleBilinear(t, x, y));
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

bool IsPngName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string end = fileName.substr(fileName.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".png";
}

bool WriteThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width,
                    const DisplayOptions& options) {
    if (width <= 0)
        return Fail(dicomFileName, "the thumbnail width must be at least 1, not " + std::to_string(width));
    ElementList list;
    ThumbnailImage thumbnail;
    Bitmap bitmap;
    std::string reason;
    if (!ReadImageDataset(dicomFileName, list, reason) ||
        !ReadThumbnailPixels(thumbnail, list, options, reason) ||
        !MakeThumbnail(thumbnail, width, bitmap, reason))
        return Fail(dicomFileName, reason);
    if (IsPngName(outputName)) {
        if (WritePngFile(outputName, bitmap, reason)) return true;
        std::error_code ignored;
        std::filesystem::remove(outputName, ignored);
        return Fail(dicomFileName, "cannot write " + outputName + ": " + reason);
    }
    std::vector<uint8_t> jpeg;
    if (!EncodeJpeg(bitmap, kThumbnailQuality, jpeg, reason)) return Fail(dicomFileName, reason);
    if (!WriteWhole(outputName, jpeg)) return Fail(dicomFileName, "cannot write " + outputName);
    return true;
}

bool CreateThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width) {
    return WriteThumbnail(ThumbnailFileName(outputName), dicomFileName, width, {});
}

}  // namespace pella
