// BMP files of the library's own: uncompressed 8-bit (with palette), 24-bit and 32-bit.
#pragma once

#include <string>

#include "imaging/bitmap.h"

namespace pella {

// Reads a BMP file into the bitmap, bottom-up and top-down files alike. A header that lies
// about its size, depth, palette or pixel offset is refused before anything past the file's
// end is read. False with `reason` set; the bitmap is then unchanged.
bool ReadBmpFile(const std::string& fileName, Bitmap& bitmap, std::string& reason);

// Writes the bitmap as an uncompressed bottom-up BMP file in its own depth (8-bit with its
// palette). False with `reason` set when the file cannot be written.
bool WriteBmpFile(const std::string& fileName, const Bitmap& bitmap, std::string& reason);

}  // namespace pella
