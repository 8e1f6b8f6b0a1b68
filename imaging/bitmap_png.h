// PNG output of bitmaps (libpng).
#pragma once

#include <string>

#include "imaging/bitmap.h"

namespace pella {

// Writes the bitmap as a PNG file: 8-bit gray when it is an 8-bit bitmap with the gray palette,
// 8-bit RGB otherwise. False with `reason` set when the file cannot be written.
bool WritePngFile(const std::string& fileName, const Bitmap& bitmap, std::string& reason);

}  // namespace pella
