// The library's bitmap: 8-bit with a 256-entry palette, 24-bit blue-green-red, 32-bit
// blue-green-red-x; rows top-down and unpadded. Printing, ECG pages and thumbnails draw into it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pella.h"

namespace pella {

enum class PixelFormat : int32_t { Gray8 = 8, Bgr24 = 24, Bgrx32 = 32 };

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Largest side and size a bitmap may have: far above any printable page or image, small enough
// that hostile sizes are refused before any allocation.
constexpr uint32_t kMaxBitmapSide = 65535;
constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 30;

// True when a bitmap of that format and size stays within the limits above.
bool FitsBitmap(PixelFormat format, uint64_t width, uint64_t height);

// True for 8, 24 and 32.
bool IsPixelFormat(int32_t bitsPerPixel);
std::size_t BytesPerPixel(PixelFormat format);

}  // namespace pella

// The bitmap type of the public header.
struct Bitmap {
public:
    // An empty 8-bit bitmap (0 x 0) with the gray palette.
    Bitmap();

    // Sets format and size; pixels are zero (black, palette index 0) and an 8-bit bitmap gets the
    // gray palette. Throws std::length_error beyond kMaxBitmapSide / kMaxBitmapBytes.
    void Reset(pella::PixelFormat format, uint32_t width, uint32_t height);

    pella::PixelFormat Format() const { return format_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    std::size_t RowBytes() const { return width_ * pella::BytesPerPixel(format_); }
    uint8_t* Row(uint32_t y) { return pixels_.data() + y * RowBytes(); }
    const uint8_t* Row(uint32_t y) const { return pixels_.data() + y * RowBytes(); }

    // The palette of an 8-bit bitmap (kept, but unused, in the other formats).
    std::array<pella::Rgb, 256>& Palette() { return palette_; }
    const std::array<pella::Rgb, 256>& Palette() const { return palette_; }
    // True when entry i is (i, i, i) for every i.
    bool HasGrayPalette() const;

    // Fills the rectangle (clipped to the bitmap) with the colour; an 8-bit bitmap takes the
    // palette entry closest to it.
    void FillRect(int64_t x, int64_t y, int64_t width, int64_t height, pella::Rgb colour);
    void Fill(pella::Rgb colour) { FillRect(0, 0, width_, height_, colour); }

    // The colour of one pixel (through the palette for 8 bits).
    pella::Rgb PixelColour(uint32_t x, uint32_t y) const;

    // Sets one pixel; an 8-bit bitmap takes the palette entry closest to the colour.
    void SetPixelColour(uint32_t x, uint32_t y, pella::Rgb colour);

    // Converts the pixels to 24-bit blue-green-red in place.
    void ConvertTo24();

private:
    uint8_t NearestPaletteIndex(pella::Rgb colour) const;

    pella::PixelFormat format_ = pella::PixelFormat::Gray8;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint8_t> pixels_;
    std::array<pella::Rgb, 256> palette_{};
};

namespace pella {

using ::Bitmap;

// An 8-bit bitmap with the 256-step gray palette (entry i = i, i, i), sized and filled black.
void MakeGrayBitmap(Bitmap& bitmap, uint32_t width, uint32_t height);

// A 24-bit bitmap, sized and filled black.
void MakeRgbBitmap(Bitmap& bitmap, uint32_t width, uint32_t height);

}  // namespace pella
