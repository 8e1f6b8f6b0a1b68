// One image frame compressed or decompressed in memory through the IJG JPEG library with the
// lossless extension, in its 8-, 12- and 16-bit builds.
//
// Pixel buffers are row-major and interleaved (R, G, B per pixel for 3 components) without row
// padding. The 8-bit wrappers take one byte per sample, the 12- and 16-bit wrappers one 16-bit
// word per sample in the machine's byte order (little endian, as in DICOM pixel data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pella {

// The colour space the data set declares for its frames (Photometric Interpretation).
enum class JpegColourSpace {
    Unstated,  // not declared: the library's guess from the stream's component IDs
    Rgb,       // RGB: the samples are decoded as stored
    YCbCr,     // YBR_*: the samples are converted to RGB
};

// The geometry of one frame, as the data set announces it.
struct JpegFrameShape {
    uint32_t columns = 0;
    uint32_t rows = 0;
    uint32_t components = 1;  // 1 (grayscale) or 3 (RGB)
    // Decoders follow a JFIF or Adobe marker in the stream; only a 3-component stream without
    // either is decoded as this says. Encoders ignore it.
    JpegColourSpace declared = JpegColourSpace::Unstated;
};

enum class JpegMode : int {
    Baseline = 0,  // lossy DCT: baseline in the 8-bit build, extended in the 12-bit one
    Lossless = 4,  // first-order prediction (predictor 1), no point transform
};

// A library error while compressing.
class JpegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes one frame of `shape` occupies with `bytesPerSample` (1 or 2); 0 when the shape is not
// one the codec handles (no pixels, components other than 1 or 3, over 65535 rows or columns).
std::size_t JpegFrameBytes(const JpegFrameShape& shape, std::size_t bytesPerSample);

// Encoders: compress the first JpegFrameBytes(shape) bytes of `pixels` and return the JPEG
// stream; `quality` (1..100) sets the lossy mode's quantisation. Throw std::invalid_argument for
// an unknown mode, a quality outside 1..100, a shape the codec cannot take, a buffer shorter
// than the frame, or (12-bit) a sample above 4095; throw JpegError when the library fails.
std::vector<uint8_t> JpegEncode8(const uint8_t* pixels, std::size_t pixelBytes, const JpegFrameShape& shape,
                                 JpegMode mode, int quality = 75);
std::vector<uint8_t> JpegEncode12(const uint8_t* pixels, std::size_t pixelBytes, const JpegFrameShape& shape,
                                  JpegMode mode = JpegMode::Lossless, int quality = 75);
std::vector<uint8_t> JpegEncode16(const uint8_t* pixels, std::size_t pixelBytes, const JpegFrameShape& shape);

// Each build of the library is loaded on its first use: false with `reason` ("libgdcmjpeg<bits>
// cannot be loaded: ...") when it cannot be. The encoders and decoders check it themselves.
bool JpegAvailable8(std::string& reason);
bool JpegAvailable12(std::string& reason);
bool JpegAvailable16(std::string& reason);

// Decoders: decompress one JPEG stream into `destination`. True on success. False (the reason
// logged) when the data are corrupt or truncated, when the stream's width, height, number of
// components or sample precision disagree with `shape` and the build, or when
// `destinationBytes` is smaller than the frame; nothing is then written past the frame.
bool JpegDecode8(const uint8_t* compressed, std::size_t compressedLength, const JpegFrameShape& shape,
                 uint8_t* destination, std::size_t destinationBytes);
bool JpegDecode12(const uint8_t* compressed, std::size_t compressedLength, const JpegFrameShape& shape,
                  uint8_t* destination, std::size_t destinationBytes);
bool JpegDecode16(const uint8_t* compressed, std::size_t compressedLength, const JpegFrameShape& shape,
                  uint8_t* destination, std::size_t destinationBytes);

}  // namespace pella
