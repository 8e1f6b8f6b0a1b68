// One native frame encoded as a High-Throughput JPEG 2000 codestream through OpenJPH: reversible
// 5/3 wavelet, RGB frames through the reversible colour transform. The encoder is the module
// libpella_htj2k.so, loaded on the first encode from libpella's own folder (else by its name).
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

// "OpenJPH 0.9.0"; the reason instead when the module cannot be loaded.
std::string OpenJphLibrary();

}  // namespace pella
