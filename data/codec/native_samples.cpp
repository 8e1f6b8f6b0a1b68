#include "data/codec/native_samples.h"

namespace pella {

int32_t ReadSample(const uint8_t* frame, std::size_t offset, const FrameFormat& format) {
    uint32_t raw = frame[offset];
    if (format.bitsAllocated == 16) raw |= uint32_t{frame[offset + 1]} << 8;
    uint32_t mask = format.bitsStored >= 32 ? ~0u : (1u << format.bitsStored) - 1;
    raw &= mask;
    if (format.isSigned && format.bitsStored > 0 && (raw >> (format.bitsStored - 1)) & 1u) raw |= ~mask;
    return static_cast<int32_t>(raw);
}

bool IsCodecFormat(const FrameFormat& format, std::string& reason) {
    if (format.rows == 0 || format.columns == 0) {
        reason = "the frame has no rows or no columns";
        return false;
    }
    if (format.samplesPerPixel != 1 && format.samplesPerPixel != 3) {
        reason = std::to_string(format.samplesPerPixel) + " samples per pixel (1 or 3 are taken)";
        return false;
    }
    if (format.bitsAllocated != 8 && format.bitsAllocated != 16) {
        reason = std::to_string(format.bitsAllocated) + " bits allocated (8 or 16 are taken)";
        return false;
    }
    if (format.bitsStored == 0 || format.bitsStored > format.bitsAllocated) {
        reason = std::to_string(format.bitsStored) + " bits stored in " +
                 std::to_string(format.bitsAllocated) + " allocated";
        return false;
    }
    return true;
}

bool IsEncodableFrame(std::span<const uint8_t> frame, const FrameFormat& format, std::string& reason) {
    if (!IsCodecFormat(format, reason)) return false;
    if (format.photometric == "YBR_FULL_422") {
        reason = "YBR_FULL_422 frames are encoded from full-resolution chroma only";
        return false;
    }
    if (frame.size() < format.FrameBytes()) {
        reason = "the frame has " + std::to_string(frame.size()) + " bytes where " +
                 std::to_string(format.FrameBytes()) + " were expected";
        return false;
    }
    return true;
}

FrameFormat DecodedFormat(const FrameFormat& stored) {
    FrameFormat out = stored;
    if (out.samplesPerPixel == 3 && out.photometric == "YBR_FULL_422") out.photometric = "YBR_FULL";
    return out;
}

}  // namespace pella
