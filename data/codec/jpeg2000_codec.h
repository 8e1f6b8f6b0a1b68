// JPEG 2000 lossless and lossy frames, through OpenJPEG.
#pragma once

#include "data/codec/frame_codec.h"

namespace pella {

const FrameCodec& Jpeg2000Codec();

}  // namespace pella
