// The JPEG codec (baseline, extended and lossless processes) over the IJG library's 8-, 12- and
// 16-bit builds: decodes every process at 8 to 16 bits, encodes baseline 8-bit, extended 12-bit
// and lossless first-order prediction at 8 and 16 bits.
#pragma once

#include "data/codec/frame_codec.h"

namespace pella {

const FrameCodec& JpegFrameCodec();

}  // namespace pella
