// What a lossy conversion must say about itself in the data set: a new SOP Instance UID, Lossy
// Image Compression "01", the ratio and method appended to any earlier ones, and the original
// named in the Source Image Sequence with a Derivation Description. Decoding pixels that were
// already lossy keeps Lossy Image Compression "01".
#pragma once

#include "data/convert/attribute_edits.h"
#include "data/convert/pixel_data_conversion.h"

namespace pella {

// Adds the edits a conversion of `input`'s pixel data into `pixels` needs.
void MarkLossiness(const ElementList& input, const TransferSyntax& source, const TransferSyntax& target,
                   const ConvertedPixels& pixels, AttributeEdits& edits);

}  // namespace pella
