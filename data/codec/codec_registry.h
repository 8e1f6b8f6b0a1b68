// The codec registry: the one place that says which codec decodes and encodes the pixel data of
// each encapsulated transfer syntax. Every consumer of compressed pixels asks it.
#pragma once

#include "data/codec/frame_codec.h"
#include "data/registry/transfer_syntaxes.h"

namespace pella {

// The codec for the syntax's pixel data, or nullptr when the syntax is native, deflated, unknown,
// or has no codec in this build.
const FrameCodec* FindFrameCodec(const TransferSyntax& syntax);

// Whether frames of the syntax can be decoded, and encoded, here.
bool CanDecodeSyntax(const TransferSyntax& syntax);
bool CanEncodeSyntax(const TransferSyntax& syntax);

}  // namespace pella
