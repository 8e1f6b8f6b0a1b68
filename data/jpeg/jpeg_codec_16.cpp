// The codec glue over the 16-bit build of the JPEG library.
#define PELLA_JPEG_BITS 16
#include "data/jpeg/jpeg_codec_build.inc"

namespace pella {

bool JpegAvailable16(std::string& reason) {
    return JpegBuildAvailable(reason);
}

std::vector<uint8_t> JpegEncode16(const uint8_t* pixels, std::size_t pixelBytes,
                                  const JpegFrameShape& shape) {
    return Encode(pixels, pixelBytes, shape, JpegMode::Lossless, 75);
}

bool JpegDecode16(const uint8_t* compressed, std::size_t compressedLength, const JpegFrameShape& shape,
                  uint8_t* destination, std::size_t destinationBytes) {
    return Decode("JpegDecode16", compressed, compressedLength, shape, destination, destinationBytes);
}

}  // namespace pella
