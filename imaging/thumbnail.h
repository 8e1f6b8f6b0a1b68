// Thumbnails of DICOM images: one frame scaled to a requested width, gray images through the
// display pipeline (bilinear), colour images as RGB (nearest neighbour), with a one-pixel black
// frame; written as PNG or as JPEG (libjpeg-turbo, quality 60).
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "imaging/bitmap.h"
#include "imaging/display_pipeline.h"
#include "imaging/image_pixels.h"

namespace pella {

constexpr int kThumbnailQuality = 60;

struct ThumbnailImage {
    ImageAttributes image;  // the data set's own image, its frame selected
    GrayDisplay display;    // gray images only
    float scale = 0;        // requested width / columns
};

// Takes the image of the list's top-level elements and sets up its display. The pixel data must
// be Number of Frames x one frame long, or one pad byte longer. False with `reason` set, also
// for a frame the image does not have or a window width below 1.
bool ReadThumbnailPixels(ThumbnailImage& thumbnail, const ElementList& dataList,
                         const DisplayOptions& options, std::string& reason);

// Draws into a gray bitmap (bilinear, then the display pipeline) or an RGB bitmap (nearest
// neighbour) already sized for the thumbnail; the first and last rows and columns stay black.
void DrawGrayThumbnail(const ThumbnailImage& thumbnail, Bitmap& bitmap);
void DrawRgbThumbnail(const ThumbnailImage& thumbnail, Bitmap& bitmap);

// The modality value at the fractional position (x, y) of the frame, interpolated between the
// four samples around it. 0 < x < columns - 1 and 0 < y < rows - 1.
double SampleBilinear(const ThumbnailImage& thumbnail, float x, float y);

// `outputName` with the extension of its file name replaced by ".jpg" (appended without one).
std::string ThumbnailFileName(const std::string& outputName);

// True when the name ends in ".png", in any case.
bool IsPngName(const std::string& fileName);

// Writes the thumbnail of `dicomFileName`, `width` pixels wide, to exactly `outputName`: PNG when
// the name ends in ".png" (any case), JPEG otherwise. False (the reason logged, no file left)
// for an unreadable file or image, a width of 0 or a height that comes out 0, or an encoder or
// write failure.
bool WriteThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width,
                    const DisplayOptions& options);

// The JPEG thumbnail with the default display as ThumbnailFileName(outputName).
bool CreateThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width);

}  // namespace pella
