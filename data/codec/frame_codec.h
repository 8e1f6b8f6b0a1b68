// FrameCodec: what every pixel-data codec offers the rest of the system. A codec turns the
// compressed bytes of one frame into native samples and, where it can, back again; everything
// around a frame (fragments, offset tables, the data set's attributes) belongs to its callers.
//
// Native samples are row-major, little endian, one byte per sample for 8 bits allocated and two
// for 16, with the planar configuration the format states.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/registry/transfer_syntaxes.h"

namespace pella {

// How one frame's samples are laid out, as the data set's image attributes state it.
struct FrameFormat {
    uint32_t rows = 0;
    uint32_t columns = 0;
    uint16_t samplesPerPixel = 1;  // 1 or 3
    uint16_t bitsAllocated = 8;    // 8 or 16 for the codecs
    uint16_t bitsStored = 8;
    bool isSigned = false;    // Pixel Representation 1
    bool planar = false;      // Planar Configuration 1: the colour planes one after the other
    std::string photometric;  // Photometric Interpretation without padding, e.g. "YBR_FULL_422"

    // Bytes of one native frame in this format (YBR_FULL_422 native: two samples a pixel, as
    // the standard lays it out); 0 when the numbers do not describe a frame.
    uint64_t FrameBytes() const;
};

// Choices for lossy encoders; the lossless ones ignore them.
struct EncodeOptions {
    int quality = 90;                // JPEG baseline and extended, 1..100
    int nearLossless = 2;            // JPEG-LS near-lossless: the largest error a sample may get
    double compressionRatio = 10.0;  // JPEG 2000 and HTJ2K lossy: the target ratio
};

// A frame as a codec hands it over: the bytes and the format they stand in. A decoder may give
// another photometric interpretation or planar configuration than the stored one (a YBR_ICT
// JPEG 2000 stream decodes to RGB); an encoder states the photometric interpretation the data
// set must then carry (JPEG 2000 lossless of RGB: YBR_RCT).
struct CodedFrame {
    std::vector<uint8_t> bytes;
    FrameFormat format;
};

class FrameCodec {
public:
    virtual ~FrameCodec() = default;

    // The library the codec is built on, for messages and the notes ("CharLS 2.4.1").
    virtual std::string Library() const = 0;

    // Decodes one frame's compressed bytes (all its fragments joined) of a data set whose image
    // attributes say `stored`. False with `reason` set when the stream is corrupt or truncated,
    // or when its dimensions, components or precision disagree with `stored`: a decoder never
    // allocates more than `stored` announces for a frame.
    virtual bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                        std::string& reason) const = 0;

    // Whether frames can be encoded into `target` (one of this codec's syntaxes).
    virtual bool CanEncode(const TransferSyntax& target) const = 0;

    // Encodes one native frame in `native` format into `target`. False with `reason` set when
    // the format is one the codec cannot take (the caller may then fall back to another syntax).
    virtual bool Encode(std::span<const uint8_t> frame, const FrameFormat& native,
                        const TransferSyntax& target, const EncodeOptions& options, CodedFrame& out,
                        std::string& reason) const = 0;
};

}  // namespace pella
