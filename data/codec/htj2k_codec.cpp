#include "data/codec/htj2k_codec.h"

#include "data/codec/openjpeg_decoder.h"
#include "data/codec/openjph_encoder.h"

namespace pella {
namespace {

class Htj2k final : public FrameCodec {
public:
    std::string Library() const override {
        return OpenJpegLibrary() + " (decode), " + OpenJphLibrary() + " (encode)";
    }

    bool Decode(std::span<const uint8_t> compressed, const FrameFormat& stored, CodedFrame& out,
                std::string& reason) const override {
        return DecodeJpeg2000Frame(compressed, stored, out, reason);
    }

    // Only the lossless syntax without a required progression order is written.
    bool CanEncode(const TransferSyntax& target) const override {
        return target.Uid() == PELLA_HTJ2K_LOSSLESS;
    }

    bool Encode(std::span<const uint8_t> frame, const FrameFormat& native, const TransferSyntax& target,
                const EncodeOptions&, CodedFrame& out, std::string& reason) const override {
        if (!CanEncode(target)) {
            reason = "HTJ2K is encoded as " + TransferSyntax(PELLA_HTJ2K_LOSSLESS).Name() + " only, not " +
                     target.Name();
            return false;
        }
        return EncodeHtj2kLosslessFrame(frame, native, out, reason);
    }
};

}  // namespace

const FrameCodec& Htj2kCodec() {
    static const Htj2k codec;
    return codec;
}

}  // namespace pella
