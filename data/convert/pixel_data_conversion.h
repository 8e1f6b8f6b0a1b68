// Pixel data moved between native and encapsulated form for the target transfer syntax, through
// the codec registry.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "data/codec/frame_codec.h"
#include "data/convert/conversion_syntax.h"
#include "data/convert/image_geometry.h"
#include "data/model/element_list.h"

namespace pella {

struct PixelDataJob {
    const TransferSyntax& target;
    const TransferSyntax& source;
    const ConversionFlags& flags;
    const ImageGeometry& geometry;
    std::span<const uint8_t> extendedOffsets;  // the Extended Offset Table's value, or empty
    EncodeOptions options;
};

struct ConvertedPixels {
    ElementList elements;       // the pixel data element, then its items and delimiter if encapsulated
    std::size_t lastIndex = 0;  // the last input element used
    FrameFormat format;         // the layout and colour space the converted pixels hold
    bool lossyEncoded = false;  // a lossy encoder made them
    uint64_t nativeBytes = 0;   // the pixels' size decoded
    uint64_t encodedBytes = 0;  // and as written (fragments), for the compression ratio
};

// The frame layout the image attributes describe.
FrameFormat FormatOf(const ImageGeometry& geometry);

// Converts the pixel data element input[index] (with its fragments and delimiter when it is
// encapsulated) into `out`. False, with the reason logged, when the pixel data cannot be
// converted: no codec decodes the source or encodes the target, or a frame fails.
bool ConvertPixelData(const ElementList& input, std::size_t index, const PixelDataJob& job,
                      ConvertedPixels& out);

}  // namespace pella
