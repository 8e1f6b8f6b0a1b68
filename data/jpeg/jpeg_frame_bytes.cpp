#include "data/jpeg/jpeg_codec.h"

namespace pella {

std::size_t JpegFrameBytes(const JpegFrameShape& shape, std::size_t bytesPerSample) {
    // JPEG frame headers hold 16-bit dimensions; the library refuses more than 65500.
    constexpr uint32_t kMaxDimension = 65500;
    if (shape.columns == 0 || shape.rows == 0 || shape.columns > kMaxDimension || shape.rows > kMaxDimension)
        return 0;
    if (shape.components != 1 && shape.components != 3) return 0;
    if (bytesPerSample != 1 && bytesPerSample != 2) return 0;
    return std::size_t{shape.columns} * shape.rows * shape.components * bytesPerSample;
}

}  // namespace pella
