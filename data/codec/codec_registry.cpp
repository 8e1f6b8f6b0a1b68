#include "data/codec/codec_registry.h"

#include "data/codec/jpeg_frame_codec.h"
#include "data/codec/rle_frame_codec.h"

namespace pella {

const FrameCodec* FindFrameCodec(const TransferSyntax& syntax) {
    switch (syntax.Codec()) {
        // Each codec adds its line here: case SyntaxCodec::kX: return &XCodec();
        case SyntaxCodec::kJpegBaseline:
        case SyntaxCodec::kJpegExtended:
        case SyntaxCodec::kJpegLossless:
            return &JpegFrameCodec();
        case SyntaxCodec::kRle:
            return &RleFrameCodec();
        default:
            return nullptr;
    }
}

bool CanDecodeSyntax(const TransferSyntax& syntax) {
    return FindFrameCodec(syntax) != nullptr;
}

bool CanEncodeSyntax(const TransferSyntax& syntax) {
    const FrameCodec* codec = FindFrameCodec(syntax);
    return codec != nullptr && codec->CanEncode(syntax);
}

}  // namespace pella
