// Samples of a native frame as integers, for the codecs built on libraries that take and give
// one integer per sample: where each sample stands (planar or interleaved), its value with the
// unused high bits dropped and the sign extended, and the checks a frame must pass before a
// codec touches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "data/codec/frame_codec.h"

namespace pella {

// Byte offset of sample `component` of pixel `pixel` in a frame of `format` (8 or 16 bits
// allocated, one or three samples per pixel, planar or interleaved).
inline std::size_t SampleOffset(const FrameFormat& format, std::size_t pixel, std::size_t component) {
    std::size_t pixels = std::size_t{format.rows} * format.columns;
    std::size_t index =
        format.planar ? component * pixels + pixel : pixel * format.samplesPerPixel + component;
    return index * (format.bitsAllocated / 8);
}

// The value of the sample at `offset`: its low bitsStored bits, sign-extended when signed.
int32_t ReadSample(const uint8_t* frame, std::size_t offset, const FrameFormat& format);

// Writes `value` at `offset` in two's complement over the bits allocated (little endian).
inline void WriteSample(uint8_t* frame, std::size_t offset, int32_t value, uint16_t bitsAllocated) {
    auto bits = static_cast<uint32_t>(value);
    frame[offset] = static_cast<uint8_t>(bits & 0xFF);
    if (bitsAllocated == 16) frame[offset + 1] = static_cast<uint8_t>((bits >> 8) & 0xFF);
}

// Copies `count` samples of `sourceBytes` bytes each (1 or 2, little endian) into samples of
// `targetBytes` bytes, keeping the low `bitsStored` bits, sign-extended over the target width
// when `isSigned` and zero-extended otherwise. `source` and `target` may be the same buffer when
// the widths agree. One pass with no per-sample offset arithmetic: the codecs' hot loop.
void CopySampleRun(const uint8_t* source, unsigned sourceBytes, uint8_t* target, unsigned targetBytes,
                   unsigned bitsStored, bool isSigned, std::size_t count);

// Component `component` of a native frame of `format` as one integer a pixel (its low bitsStored
// bits, sign-extended when signed), into `plane` (rows x columns values).
void ReadComponentPlane(const uint8_t* frame, const FrameFormat& format, std::size_t component,
                        int32_t* plane);

// Writes one integer a pixel from `plane` as component `component` of a native frame of
// `format`, in two's complement over the bits allocated.
void WriteComponentPlane(const int32_t* plane, const FrameFormat& format, std::size_t component,
                         uint8_t* frame);

// Whether the codecs on integer-sample libraries take frames of `format`: 1 or 3 samples,
// 8 or 16 bits allocated, 1..bitsAllocated bits stored, rows and columns set. `reason` says why not.
bool IsCodecFormat(const FrameFormat& format, std::string& reason);

// Whether `frame` is one whole native frame of `format` that an encoder can take (no 4:2:2
// subsampled frames: they are widened by the caller first).
bool IsEncodableFrame(std::span<const uint8_t> frame, const FrameFormat& format, std::string& reason);

// The format a decoder fills for a data set that says `stored`: the same geometry and precision;
// a YBR_FULL_422 data set's compressed frames hold every chroma sample, so they decode as YBR_FULL.
FrameFormat DecodedFormat(const FrameFormat& stored);

}  // namespace pella
