#include "cli/transfer_syntax_names.h"

#include <cstdio>

#include "pella.h"

namespace cli {

namespace {

struct SyntaxName {
    const char* name;
    const char* uid;
    const char* description;
};

constexpr SyntaxName kNames[] = {
    {"implicit", PELLA_IMPLICIT_VR_LITTLE_ENDIAN, "implicit VR little endian"},
    {"explicit", PELLA_EXPLICIT_VR_LITTLE_ENDIAN, "explicit VR little endian"},
    {"big", PELLA_EXPLICIT_VR_BIG_ENDIAN, "explicit VR big endian"},
    {"jpeg-lossless", PELLA_JPEG_LOSSLESS_SV1, "JPEG lossless, first-order prediction"},
    {"jpeg-baseline", PELLA_JPEG_BASELINE, "JPEG baseline (8 bits, lossy)"},
    {"jpeg-extended", PELLA_JPEG_EXTENDED, "JPEG extended (8 or 12 bits, lossy)"},
    {"rle", PELLA_RLE_LOSSLESS, "RLE lossless"},
    {"jpeg-ls", PELLA_JPEG_LS_LOSSLESS, "JPEG-LS lossless"},
    {"jpeg-ls-near", PELLA_JPEG_LS_NEAR_LOSSLESS, "JPEG-LS near-lossless"},
    {"j2k-lossless", PELLA_JPEG_2000_LOSSLESS, "JPEG 2000 lossless"},
    {"j2k", PELLA_JPEG_2000, "JPEG 2000 (lossy)"},
    {"htj2k-lossless", PELLA_HTJ2K_LOSSLESS, "High-Throughput JPEG 2000 lossless"},
    {"deflate", PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN, "deflated explicit VR little endian"},
};

}  // namespace

std::optional<std::string> ResolveTransferSyntax(const std::string& nameOrUid) {
    for (const auto& entry : kNames)
        if (nameOrUid == entry.name) return std::string(entry.uid);
    if (IsValidUID(nameOrUid.c_str())) return nameOrUid;
    return std::nullopt;
}

std::optional<std::string> ResolveTransferSyntaxArgument(const std::string& command,
                                                         const std::string& nameOrUid) {
    std::optional<std::string> uid = ResolveTransferSyntax(nameOrUid);
    if (!uid)
        std::fprintf(stderr, "pella %s: '%s' is neither a transfer syntax UID nor one of the names:\n%s",
                     command.c_str(), nameOrUid.c_str(), TransferSyntaxNameTable().c_str());
    return uid;
}

std::string TransferSyntaxNameTable() {
    std::string out;
    for (const auto& entry : kNames) {
        std::string name = entry.name;
        std::string uid = entry.uid;
        out += "  " + name + std::string(15 - name.size(), ' ') + uid +
               std::string(uid.size() < 26 ? 26 - uid.size() : 1, ' ') + entry.description + "\n";
    }
    return out;
}

}  // namespace cli
