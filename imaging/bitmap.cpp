#include "imaging/bitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pella {

bool IsPixelFormat(int32_t bitsPerPixel) {
    return bitsPerPixel == 8 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

std::size_t BytesPerPixel(PixelFormat format) {
    return static_cast<std::size_t>(format) / 8;
}

bool FitsBitmap(PixelFormat format, uint64_t width, uint64_t height) {
    return width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
           width * height * BytesPerPixel(format) <= kMaxBitmapBytes;
}

void MakeGrayBitmap(Bitmap& bitmap, uint32_t width, uint32_t height) {
    bitmap.Reset(PixelFormat::Gray8, width, height);
}

void MakeRgbBitmap(Bitmap& bitmap, uint32_t width, uint32_t height) {
    bitmap.Reset(PixelFormat::Bgr24, width, height);
}

}  // namespace pella

using pella::PixelFormat;
using pella::Rgb;

namespace {

void SetGrayPalette(std::array<Rgb, 256>& palette) {
    for (int i = 0; i < 256; ++i) {
        auto level = static_cast<uint8_t>(i);
        palette[static_cast<std::size_t>(i)] = {level, level, level};
    }
}

}  // namespace

Bitmap::Bitmap() {
    SetGrayPalette(palette_);
}

void Bitmap::Reset(PixelFormat format, uint32_t width, uint32_t height) {
    if (!pella::FitsBitmap(format, width, height))
        throw std::length_error("bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels is too large");
    pixels_.assign(std::size_t{width} * height * pella::BytesPerPixel(format), 0);
    format_ = format;
    width_ = width;
    height_ = height;
    SetGrayPalette(palette_);
}

bool Bitmap::HasGrayPalette() const {
    for (int i = 0; i < 256; ++i) {
        const Rgb& entry = palette_[static_cast<std::size_t>(i)];
        if (entry.red != i || entry.green != i || entry.blue != i) return false;
    }
    return true;
}

uint8_t Bitmap::NearestPaletteIndex(Rgb colour) const {
    const Rgb& same = palette_[colour.red];  // the gray palette's entry for a gray colour
    if (same.red == colour.red && same.green == colour.green && same.blue == colour.blue) return colour.red;
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        const Rgb& entry = palette_[static_cast<std::size_t>(i)];
        int dr = entry.red - colour.red, dg = entry.green - colour.green, db = entry.blue - colour.blue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

void Bitmap::FillRect(int64_t x, int64_t y, int64_t width, int64_t height, Rgb colour) {
    int64_t left = std::clamp<int64_t>(x, 0, width_), right = std::clamp<int64_t>(x + width, 0, width_);
    int64_t top = std::clamp<int64_t>(y, 0, height_), bottom = std::clamp<int64_t>(y + height, 0, height_);
    if (left >= right || top >= bottom) return;
    std::size_t size = pella::BytesPerPixel(format_);
    uint8_t pixel[4] = {colour.blue, colour.green, colour.red, 0};
    if (format_ == PixelFormat::Gray8) pixel[0] = NearestPaletteIndex(colour);
    for (int64_t row = top; row < bottom; ++row) {
        uint8_t* p = Row(static_cast<uint32_t>(row)) + static_cast<std::size_t>(left) * size;
        for (int64_t column = left; column < right; ++column, p += size) std::memcpy(p, pixel, size);
    }
}

Rgb Bitmap::PixelColour(uint32_t x, uint32_t y) const {
    const uint8_t* p = Row(y) + x * pella::BytesPerPixel(format_);
    if (format_ == PixelFormat::Gray8) return palette_[*p];
    return {p[2], p[1], p[0]};
}

void Bitmap::SetPixelColour(uint32_t x, uint32_t y, Rgb colour) {
    uint8_t* p = Row(y) + x * pella::BytesPerPixel(format_);
    if (format_ == PixelFormat::Gray8) {
        *p = NearestPaletteIndex(colour);
        return;
    }
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
}

void Bitmap::ConvertTo24() {
    if (format_ == PixelFormat::Bgr24) return;
    std::vector<uint8_t> converted(std::size_t{width_} * height_ * 3);
    uint8_t* out = converted.data();
    for (uint32_t y = 0; y < height_; ++y) {
        for (uint32_t x = 0; x < width_; ++x, out += 3) {
            Rgb colour = PixelColour(x, y);
            out[0] = colour.blue;
            out[1] = colour.green;
            out[2] = colour.red;
        }
    }
    pixels_ = std::move(converted);
    format_ = PixelFormat::Bgr24;
}
