// One JPEG 2000 frame (a codestream, or a JP2 file wrapping one) decoded through OpenJPEG, which
// also decodes the High-Throughput block coder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "data/codec/frame_codec.h"

namespace pella {

// Decodes `compressed` for a data set whose image attributes say `stored`. The stream's size,
// components and precision are checked against `stored` before any sample is decoded; a stream
// that is truncated or corrupt fails. Frames whose components went through the colour transform
// (YBR_RCT, YBR_ICT) come out as RGB.
bool DecodeJpeg2000Frame(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                         std::string& reason);

// "OpenJPEG 2.5.0".
std::string OpenJpegLibrary();

}  // namespace pella
