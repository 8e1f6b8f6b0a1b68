#include "data/codec/jpeg2000_codec.h"

#include "data/codec/openjpeg_decoder.h"
#include "data/codec/openjpeg_encoder.h"

namespace pella {
namespace {

class Jpeg2000 final : public FrameCodec {
public:
    std::string Library() const override { return OpenJpegLibrary(); }

    bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                std::string& reason) const override {
        return DecodeJpeg2000Frame(compressed, stored, out, reason);
    }

    bool CanEncode(const TransferSyntax& target) const override {
        return target.Codec() == SyntaxCodec::kJpeg2000;
    }

    // The lossless syntax takes the reversible path; the other may be lossy and gets the
    // irreversible one at the asked ratio.
    bool Encode(std::span<const uint8_t> frame, const FrameFormat& native, const TransferSyntax& target,
                const EncodeOptions& options, CodedFrame& out, std::string& reason) const override {
        if (!CanEncode(target)) {
            reason = "JPEG 2000 does not encode " + target.Name();
            return false;
        }
        Jpeg2000Choice choice{!target.Lossy(), options.compressionRatio};
        return EncodeJpeg2000Frame(frame, native, choice, out, reason);
    }
};

}  // namespace

const FrameCodec& Jpeg2000Codec() {
    static const Jpeg2000 codec;
    return codec;
}

}  // namespace pella
