// The RLE Lossless codec: a frame is a 64-byte header (number of segments and their offsets)
// and one byte-run coded segment per byte of each sample, most significant byte first. Handles
// 8, 16 and 32 bits allocated, 1 and 3 samples per pixel.
#pragma once

#include "data/codec/frame_codec.h"

namespace pella {

const FrameCodec& RleFrameCodec();

}  // namespace pella
