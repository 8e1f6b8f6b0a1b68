#include "data/registry/transfer_syntaxes.h"

namespace pella {

const std::vector<TransferSyntaxInfo>& TransferSyntaxes() {
    static const std::vector<TransferSyntaxInfo> table = {
        {PELLA_IMPLICIT_VR_LITTLE_ENDIAN, "Implicit VR Little Endian", false, false, false, false},
        {PELLA_EXPLICIT_VR_LITTLE_ENDIAN, "Explicit VR Little Endian", true, false, false, false},
        {PELLA_EXPLICIT_VR_BIG_ENDIAN, "Explicit VR Big Endian", true, true, false, false},
        {PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN, "Deflated Explicit VR Little Endian", true, false, false, true},
        {PELLA_JPEG_BASELINE, "JPEG Baseline (Process 1)", true, false, true, false},
        {PELLA_JPEG_EXTENDED, "JPEG Extended (Process 2 & 4)", true, false, true, false},
        {PELLA_JPEG_LOSSLESS, "JPEG Lossless, Non-Hierarchical (Process 14)", true, false, true, false},
        {PELLA_JPEG_LOSSLESS_SV1, "JPEG Lossless, First-Order Prediction (Process 14, SV1)", true, false, true, false},
        {PELLA_JPEG_LS_LOSSLESS, "JPEG-LS Lossless", true, false, true, false},
        {PELLA_JPEG_LS_NEAR_LOSSLESS, "JPEG-LS Near-Lossless", true, false, true, false},
        {PELLA_JPEG_2000_LOSSLESS, "JPEG 2000 (Lossless Only)", true, false, true, false},
        {PELLA_JPEG_2000, "JPEG 2000", true, false, true, false},
        {PELLA_RLE_LOSSLESS, "RLE Lossless", true, false, true, false},
    };
    return table;
}

const TransferSyntaxInfo* FindTransferSyntax(std::string_view uid) {
    for (const TransferSyntaxInfo& entry : TransferSyntaxes())
        if (uid == entry.uid) return &entry;
    return nullptr;
}

bool IsCompressedSyntax(std::string_view uid) {
    const TransferSyntaxInfo* entry = FindTransferSyntax(uid);
    return entry != nullptr && entry->encapsulated;
}

bool IsNativeSyntax(std::string_view uid) {
    const TransferSyntaxInfo* entry = FindTransferSyntax(uid);
    return entry != nullptr && !entry->encapsulated && !entry->deflated;
}

std::string TransferSyntaxName(std::string_view uid) {
    const TransferSyntaxInfo* entry = FindTransferSyntax(uid);
    return entry != nullptr ? entry->name : std::string(uid);
}

}  // namespace pella
