// JPEG thumbnails of DICOM images: scaled to a requested width, windowed to 8-bit gray (or kept
// RGB), with a one-pixel black frame, encoded by libjpeg-turbo at quality 60.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "imaging/bitmap.h"
#include "imaging/image_pixels.h"

namespace pella {

constexpr int kThumbnailQuality = 60;

struct ThumbnailImage {
    ImageAttributes image;  // the first frame of the data set's own image
    int64_t windowCentre = 0;
    int64_t windowWidth = 0;
    double slope = 1;
    double intercept = 0;
    float scale = 0;  // requested width / columns
    bool invert = false;
};

// Takes the image of the list's top-level elements. The pixel data must be Number of Frames x
// one frame long, or one pad byte longer; only the first frame is used. False with `reason` set.
bool ReadThumbnailPixels(ThumbnailImage& thumbnail, const ElementList& dataList, std::string& reason);

// Sets the window and rescale: the file's first window, width 0 made 255, centre 127 for 8-bit
// images; slope 0 or absent means no rescale.
void RescaleThumbnailPixels(ThumbnailImage& thumbnail);

// Draws into a gray bitmap (bilinear, windowed) or an RGB bitmap (nearest neighbour) already
// sized for the thumbnail; the first and last rows and columns stay black.
void DrawGrayThumbnail(const ThumbnailImage& thumbnail, Bitmap& bitmap);
void DrawRgbThumbnail(const ThumbnailImage& thumbnail, Bitmap& bitmap);

// The modality value at the fractional position (x, y) of the first frame, interpolated
// between the four samples around it and truncated toward zero. 0 < x < columns - 1 and
// 0 < y < rows - 1.
int64_t SampleBilinear(const ThumbnailImage& thumbnail, float x, float y);

// `outputName` with the extension of its file name replaced by ".jpg" (appended without one).
std::string ThumbnailFileName(const std::string& outputName);

// Writes the thumbnail of `dicomFileName`, `width` pixels wide, as ThumbnailFileName(outputName).
// False (the reason logged, no file left) for an unreadable file or image, a width of 0 or a
// height that comes out 0, or an encoder or write failure.
bool CreateThumbnail(const std::string& outputName, const std::string& dicomFileName, int32_t width);

}  // namespace pella
