// The image a print sends: a DICOM, JPEG or BMP file turned into an 8-bit gray bitmap, and that
// bitmap as the Image Pixel module of a grayscale image box (8-bit MONOCHROME2).
// A print user calls LoadPrintBitmap before it opens an association (a failure is logged there
// and no association is opened), and BuildImagePixelModule for the item of the Basic Grayscale
// Image Sequence it sets in the image box.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "imaging/bitmap.h"
#include "imaging/display_pipeline.h"

namespace pella {

// Draws one frame of the image of a DICOM file into the bitmap: gray images through the display
// pipeline into an 8-bit gray bitmap, colour images as RGB into a 24-bit bitmap.
// `bigEndianSamples` reads 16- and 32-bit samples big endian (files in a big-endian syntax are
// converted first and need no flag). False with `reason` set.
bool LoadPrintImage(const std::string& fileName, Bitmap& bitmap, bool bigEndianSamples, std::string& reason,
                    const DisplayOptions& options = {});

// The bitmap a print sends for `fileName`, chosen by extension as the print user does (".jpg"
// and ".JPG": JPEG file; ".bmp" and ".BMP": BMP file; anything else: DICOM file drawn with
// `options`), reduced to 8-bit gray (colour pixels by their luminance). On failure logs one line
// "ERROR: opening <DICOM|JPEG|BMP> File: <file>: <reason>" and returns false.
bool LoadPrintBitmap(const std::string& fileName, Bitmap& bitmap, const DisplayOptions& options = {});

// Turns the bitmap into an 8-bit gray bitmap with the gray palette: palette and colour pixels
// become their luminance.
void ReduceToGray(Bitmap& bitmap);

// Appends the Image Pixel module of the bitmap as 8-bit MONOCHROME2 to `list`: Samples per Pixel,
// Photometric Interpretation, Rows, Columns, Bits Allocated, Bits Stored, High Bit, Pixel
// Representation, Pixel Data (OB, padded to even length). False for an empty bitmap.
bool BuildImagePixelModule(const Bitmap& bitmap, ElementList& list);

// Writes one gray byte per pixel, rows top-down without padding, into `buffer` (width x height
// bytes): the palette entry's luminance for 8-bit bitmaps, the pixel's luminance otherwise.
bool CopyBitmapPixels(const Bitmap& bitmap, uint8_t* buffer);

}  // namespace pella
