#include "data/codec/codec_registry.h"

namespace pella {

const FrameCodec* FindFrameCodec(const TransferSyntax& syntax) {
    switch (syntax.Codec()) {
        // Each codec adds its line here: case SyntaxCodec::kX: return &XCodec();
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
