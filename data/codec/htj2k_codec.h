// High-Throughput JPEG 2000 frames: decoded through OpenJPEG, encoded losslessly through OpenJPH.
#pragma once

#include "data/codec/frame_codec.h"

namespace pella {

const FrameCodec& Htj2kCodec();

}  // namespace pella
