#include "data/codec/native_samples.h"

#include <cstring>

namespace pella {

namespace {

template <typename Source, typename Target>
void CopyRun(const uint8_t* source, uint8_t* target, unsigned bitsStored, bool isSigned, std::size_t count) {
    const uint32_t mask = bitsStored >= 32 ? ~0u : (1u << bitsStored) - 1;
    const uint32_t sign = bitsStored > 0 && bitsStored <= 32 ? 1u << (bitsStored - 1) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        Source raw;
        std::memcpy(&raw, source + i * sizeof(Source), sizeof raw);
        uint32_t value = uint32_t{raw} & mask;
        if (isSigned && (value & sign)) value |= ~mask;
        auto out = static_cast<Target>(value);
        std::memcpy(target + i * sizeof(Target), &out, sizeof out);
    }
}

// The frame's samples as the little-endian integers of the bits allocated: 8 or 16 bits.
template <typename Sample, typename Visit>
void ForComponent(const FrameFormat& format, std::size_t component, Visit visit) {
    const std::size_t pixels = std::size_t{format.rows} * format.columns;
    const std::size_t first = format.planar ? component * pixels : component;
    const std::size_t step = format.planar ? 1 : format.samplesPerPixel;
    for (std::size_t p = 0; p < pixels; ++p) visit(p, (first + p * step) * sizeof(Sample));
}

}  // namespace

void CopySampleRun(const uint8_t* source, unsigned sourceBytes, uint8_t* target, unsigned targetBytes,
                   unsigned bitsStored, bool isSigned, std::size_t count) {
    if (sourceBytes == 1 && targetBytes == 1)
        CopyRun<uint8_t, uint8_t>(source, target, bitsStored, isSigned, count);
    else if (sourceBytes == 1)
        CopyRun<uint8_t, uint16_t>(source, target, bitsStored, isSigned, count);
    else if (targetBytes == 1)
        CopyRun<uint16_t, uint8_t>(source, target, bitsStored, isSigned, count);
    else
        CopyRun<uint16_t, uint16_t>(source, target, bitsStored, isSigned, count);
}

void ReadComponentPlane(const uint8_t* frame, const FrameFormat& format, std::size_t component,
                        int32_t* plane) {
    const uint32_t mask = format.bitsStored >= 32 ? ~0u : (1u << format.bitsStored) - 1;
    const uint32_t sign = format.bitsStored > 0 ? 1u << (format.bitsStored - 1) : 0;
    auto place = [&](std::size_t p, uint32_t raw) {
        uint32_t value = raw & mask;
        if (format.isSigned && (value & sign)) value |= ~mask;
        plane[p] = static_cast<int32_t>(value);
    };
    if (format.bitsAllocated == 16)
        ForComponent<uint16_t>(format, component, [&](std::size_t p, std::size_t offset) {
            place(p, uint32_t{frame[offset]} | uint32_t{frame[offset + 1]} << 8);
        });
    else
        ForComponent<uint8_t>(format, component,
                              [&](std::size_t p, std::size_t offset) { place(p, frame[offset]); });
}

void WriteComponentPlane(const int32_t* plane, const FrameFormat& format, std::size_t component,
                         uint8_t* frame) {
    if (format.bitsAllocated == 16)
        ForComponent<uint16_t>(format, component, [&](std::size_t p, std::size_t offset) {
            auto bits = static_cast<uint32_t>(plane[p]);
            frame[offset] = static_cast<uint8_t>(bits & 0xFF);
            frame[offset + 1] = static_cast<uint8_t>((bits >> 8) & 0xFF);
        });
    else
        ForComponent<uint8_t>(format, component, [&](std::size_t p, std::size_t offset) {
            frame[offset] = static_cast<uint8_t>(static_cast<uint32_t>(plane[p]) & 0xFF);
        });
}

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
