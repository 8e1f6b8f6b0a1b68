#include "data/codec/codec_registry.h"

#include "data/codec/htj2k_codec.h"
#include "data/codec/jpeg2000_codec.h"
#include "data/codec/jpeg_frame_codec.h"
#include "data/codec/jpeg_ls_codec.h"
#include "data/codec/rle_frame_codec.h"

namespace pella {

const FrameCodec* FindFrameCodec(const TransferSyntax& syntax) {
    switch (syntax.Codec()) {
        // Each codec adds its line here: case SyntaxCodec::kX: return &XCodec();
        case SyntaxCodec::kJpegLs:
            return &JpegLsCodec();
        case SyntaxCodec::kJpeg2000:
            return &Jpeg2000Codec();
        case SyntaxCodec::kHtj2k:
            return &Htj2kCodec();
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
