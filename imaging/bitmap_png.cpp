#include "imaging/bitmap_png.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "imaging/libpng_on_demand.h"

namespace pella {

namespace {

// The pixels as one buffer in the layout libpng's simplified interface takes.
std::vector<uint8_t> PackedPixels(const Bitmap& bitmap, bool gray) {
    std::size_t perPixel = gray ? 1 : 3;
    std::vector<uint8_t> out(std::size_t{bitmap.Width()} * bitmap.Height() * perPixel);
    uint8_t* p = out.data();
    for (uint32_t y = 0; y < bitmap.Height(); ++y) {
        if (gray || bitmap.Format() == PixelFormat::Bgr24) {
            std::memcpy(p, bitmap.Row(y), bitmap.RowBytes());
            p += bitmap.RowBytes();
            continue;
        }
        for (uint32_t x = 0; x < bitmap.Width(); ++x, p += 3) {
            Rgb colour = bitmap.PixelColour(x, y);
            p[0] = colour.blue;
            p[1] = colour.green;
            p[2] = colour.red;
        }
    }
    return out;
}

}  // namespace

bool WritePngFile(const std::string& fileName, const Bitmap& bitmap, std::string& reason) {
    if (bitmap.Width() == 0 || bitmap.Height() == 0) {
        reason = "the bitmap is empty";
        return false;
    }
    if (!LibpngAvailable(reason)) return false;
    bool gray = bitmap.Format() == PixelFormat::Gray8 && bitmap.HasGrayPalette();
    std::vector<uint8_t> pixels = PackedPixels(bitmap, gray);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = bitmap.Width();
    image.height = bitmap.Height();
    image.format = gray ? PNG_FORMAT_GRAY : PNG_FORMAT_BGR;
    if (!png_image_write_to_file(&image, fileName.c_str(), 0, pixels.data(), 0, nullptr)) {
        reason = std::string("cannot write the PNG file: ") + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace pella
