// JPEG-LS lossless and near-lossless frames, through CharLS.
#pragma once

#include "data/codec/frame_codec.h"

namespace pella {

const FrameCodec& JpegLsCodec();

}  // namespace pella
