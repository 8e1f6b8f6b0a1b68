// The codec glue over the 12-bit build of the JPEG library.
#define PELLA_JPEG_BITS 12
#include "data/jpeg/jpeg_codec_build.inc"

namespace pella {

bool JpegAvailable12(std::string& reason) {
    return JpegBuildAvailable(reason);
}

std::vector<uint8_t> JpegEncode12(const uint8_t* pixels, std::size_t pixelBytes, const JpegFrameShape& shape,
                                  JpegMode mode, int quality) {
    return Encode(pixels, pixelBytes, shape, mode, quality);
}

bool JpegDecode12(const uint8_t* compressed, std::size_t compressedLength, const JpegFrameShape& shape,
                  uint8_t* destination, std::size_t destinationBytes) {
    return Decode("JpegDecode12", compressed, compressedLength, shape, destination, destinationBytes);
}

}  // namespace pella
