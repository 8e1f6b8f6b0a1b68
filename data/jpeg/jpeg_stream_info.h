// What a JPEG stream's frame header says before any decoding: the sample precision and whether
// the process is lossless, so that the decoder of the right sample size can be chosen.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pella {

struct JpegStreamInfo {
    int precision = 0;      // bits per sample in the frame header (2..16)
    bool lossless = false;  // a lossless process (SOF3, SOF7, SOF11, SOF15)
    int components = 0;
};

// Reads the markers up to the first frame header. False when the stream does not start with a
// start-of-image marker or ends before a frame header.
bool ReadJpegStreamInfo(const uint8_t* data, std::size_t length, JpegStreamInfo& out);

}  // namespace pella
