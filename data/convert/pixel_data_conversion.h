// Pixel data moved between native and JPEG-encapsulated form for the target transfer syntax.
#pragma once

#include <cstddef>
#include <string>

#include "data/convert/conversion_syntax.h"
#include "data/convert/converted_output.h"
#include "data/convert/image_geometry.h"

namespace pella {

struct PixelDataJob {
    const std::string& targetSyntax;
    const std::string& sourceSyntax;
    const ConversionFlags& flags;
    const ImageGeometry& geometry;
};

// Converts the pixel data element input[index] (with its fragments and delimiter when it is
// encapsulated) and appends the result to `output`. `index` is left at the last input element
// used. False, with the reason logged, when the pixel data cannot be converted.
bool ConvertPixelData(const ElementList& input, std::size_t& index, const PixelDataJob& job,
                      ConvertedOutput& output);

}  // namespace pella
