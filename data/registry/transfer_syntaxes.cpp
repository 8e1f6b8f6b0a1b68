#include "data/registry/transfer_syntaxes.h"

namespace pella {

namespace {

using enum SyntaxCodec;
constexpr bool kExplicit = true, kImplicit = false;
constexpr bool kBig = true, kLittle = false;
constexpr bool kFragments = true, kNative = false;
constexpr bool kLossy = true, kLossless = false;

constexpr TransferSyntaxInfo kTransferSyntaxes[] = {
    {PELLA_IMPLICIT_VR_LITTLE_ENDIAN, "Implicit VR Little Endian", kImplicit, kLittle, kNative, kLossless,
     kNone},
    {PELLA_EXPLICIT_VR_LITTLE_ENDIAN, "Explicit VR Little Endian", kExplicit, kLittle, kNative, kLossless,
     kNone},
    {PELLA_EXPLICIT_VR_BIG_ENDIAN, "Explicit VR Big Endian", kExplicit, kBig, kNative, kLossless, kNone},
    {PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN, "Deflated Explicit VR Little Endian", kExplicit, kLittle,
     kNative, kLossless, kDeflate},
    {PELLA_JPEG_BASELINE, "JPEG Baseline (Process 1)", kExplicit, kLittle, kFragments, kLossy, kJpegBaseline},
    {PELLA_JPEG_EXTENDED, "JPEG Extended (Process 2 & 4)", kExplicit, kLittle, kFragments, kLossy,
     kJpegExtended},
    {PELLA_JPEG_LOSSLESS, "JPEG Lossless, Non-Hierarchical (Process 14)", kExplicit, kLittle, kFragments,
     kLossless, kJpegLossless},
    {PELLA_JPEG_LOSSLESS_SV1, "JPEG Lossless, First-Order Prediction (Process 14, SV1)", kExplicit, kLittle,
     kFragments, kLossless, kJpegLossless},
    {PELLA_JPEG_LS_LOSSLESS, "JPEG-LS Lossless", kExplicit, kLittle, kFragments, kLossless, kJpegLs},
    {PELLA_JPEG_LS_NEAR_LOSSLESS, "JPEG-LS Near-Lossless", kExplicit, kLittle, kFragments, kLossy, kJpegLs},
    {PELLA_JPEG_2000_LOSSLESS, "JPEG 2000 (Lossless Only)", kExplicit, kLittle, kFragments, kLossless,
     kJpeg2000},
    {PELLA_JPEG_2000, "JPEG 2000", kExplicit, kLittle, kFragments, kLossy, kJpeg2000},
    {PELLA_HTJ2K_LOSSLESS, "High-Throughput JPEG 2000 (Lossless Only)", kExplicit, kLittle, kFragments,
     kLossless, kHtj2k},
    {PELLA_HTJ2K_LOSSLESS_RPCL, "High-Throughput JPEG 2000 with RPCL Options (Lossless Only)", kExplicit,
     kLittle, kFragments, kLossless, kHtj2k},
    {PELLA_HTJ2K, "High-Throughput JPEG 2000", kExplicit, kLittle, kFragments, kLossy, kHtj2k},
    {PELLA_RLE_LOSSLESS, "RLE Lossless", kExplicit, kLittle, kFragments, kLossless, kRle},
};

const TransferSyntaxInfo* FindTransferSyntax(std::string_view uid) {
    for (const TransferSyntaxInfo& entry : kTransferSyntaxes)
        if (uid == entry.uid) return &entry;
    return nullptr;
}

}  // namespace

std::span<const TransferSyntaxInfo> TransferSyntaxes() {
    return kTransferSyntaxes;
}

TransferSyntax::TransferSyntax(std::string_view uid) : uid_(uid), info_(FindTransferSyntax(uid)) {}

}  // namespace pella
