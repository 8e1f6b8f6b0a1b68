// One native frame encoded as a High-Throughput JPEG 2000 codestream through OpenJPH: reversible
// 5/3 wavelet, RGB frames through the reversible colour transform.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "data/codec/frame_codec.h"

namespace pella {

// Encodes `frame` of `native` format losslessly. `out.format` says the photometric
// interpretation the data set then carries: YBR_RCT for RGB frames.
bool EncodeHtj2kLosslessFrame(std::span<const uint8_t> frame, const FrameFormat& native, CodedFrame& out,
                              std::string& reason);

// "OpenJPH 0.9.0".
std::string OpenJphLibrary();

}  // namespace pella
