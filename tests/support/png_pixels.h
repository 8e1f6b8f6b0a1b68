// Reads a PNG file through libpng as 8-bit gray or RGB samples, for comparing written pages.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_support {

struct PngPixels {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    bool gray = false;             // the file's own format was 8-bit gray
    std::vector<uint8_t> samples;  // in `format`, rows top-down
};

// `format`: PNG_FORMAT_GRAY or PNG_FORMAT_RGB (libpng converts when the file differs).
inline PngPixels ReadPng(const std::string& fileName, uint32_t format = PNG_FORMAT_GRAY) {
    PngPixels out;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, fileName.c_str())) return out;
    out.gray = image.format == PNG_FORMAT_GRAY;
    image.format = format;
    out.samples.resize(PNG_IMAGE_SIZE(image));
    out.ok = png_image_finish_read(&image, nullptr, out.samples.data(), 0, nullptr) != 0;
    out.width = image.width;
    out.height = image.height;
    return out;
}

}  // namespace testing_support
