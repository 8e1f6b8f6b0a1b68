// One native frame encoded as a JPEG 2000 codestream through OpenJPEG: reversible 5/3 wavelet
// for lossless, irreversible 9/7 at a target compression ratio for lossy; RGB frames go through
// the matching colour transform.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "data/codec/frame_codec.h"

namespace pella {

struct Jpeg2000Choice {
    bool reversible = true;
    double compressionRatio = 10.0;  // lossy only: the raw size over the coded size
};

// Encodes `frame` of `native` format. `out.format` says the photometric interpretation the data
// set then carries: YBR_RCT (lossless) or YBR_ICT (lossy) for RGB frames.
bool EncodeJpeg2000Frame(std::span<const uint8_t> frame, const FrameFormat& native,
                         const Jpeg2000Choice& choice, CodedFrame& out, std::string& reason);

}  // namespace pella
