// Bitmaps owned by the command-line tool and their output as PNG or BMP files.
#pragma once

#include <memory>
#include <string>

#include "pella.h"

namespace cli {

struct BitmapOwner {
    void operator()(Bitmap* bitmap) const noexcept { FreeBitmap(bitmap); }
};
using OwnedBitmap = std::unique_ptr<Bitmap, BitmapOwner>;

// True when the file name ends in ".png" or ".bmp" (any case).
bool IsBitmapOutputName(const std::string& fileName);

// Saves the bitmap as PNG or BMP by the extension of `fileName`; prints the reason prefixed with
// "pella <command>: " and returns false on failure.
bool SaveBitmapFile(const std::string& command, Bitmap* bitmap, const std::string& fileName);

}  // namespace cli
