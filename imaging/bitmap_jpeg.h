// JPEG files and bitmaps through libjpeg-turbo: a decoded JPEG taken over into a bitmap, and a
// bitmap encoded as a baseline JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap.h"

namespace pella {

// Decodes a JPEG stream into the bitmap: an 8-bit gray-palette bitmap for a grayscale JPEG, a
// 24-bit one otherwise. Damaged or truncated data are refused. False with `reason` set; the
// bitmap is then unchanged.
bool DecodeJpeg(const uint8_t* bytes, std::size_t size, Bitmap& bitmap, std::string& reason);

// DecodeJpeg of a whole file.
bool ReadJpegFile(const std::string& fileName, Bitmap& bitmap, std::string& reason);

// Encodes the bitmap as a baseline JPEG of the given quality (1..100): one component for an
// 8-bit gray-palette bitmap, three otherwise. False with `reason` set.
bool EncodeJpeg(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out, std::string& reason);

}  // namespace pella
