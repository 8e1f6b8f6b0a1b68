#include "cli/transfer_syntax_names.h"

#include <cstdio>

namespace cli {

namespace {

struct SyntaxName {
    const char* name;
    const char* uid;
    const char* description;
};

constexpr SyntaxName kNames[] = {
    {"implicit", "1.2.840.10008.1.2", "implicit VR little endian"},
    {"explicit", "1.2.840.10008.1.2.1", "explicit VR little endian"},
    {"big", "1.2.840.10008.1.2.2", "explicit VR big endian"},
    {"jpeg-lossless", "1.2.840.10008.1.2.4.70", "JPEG lossless, first-order prediction"},
    {"jpeg-baseline", "1.2.840.10008.1.2.4.50", "JPEG baseline (8 bits, lossy)"},
};

bool LooksLikeUid(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    for (char c : text)
        if (c != '.' && (c < '0' || c > '9')) return false;
    return true;
}

}  // namespace

std::optional<std::string> ResolveTransferSyntax(const std::string& nameOrUid) {
    for (const auto& entry : kNames)
        if (nameOrUid == entry.name) return std::string(entry.uid);
    if (LooksLikeUid(nameOrUid)) return nameOrUid;
    return std::nullopt;
}

std::optional<std::string> ResolveTransferSyntaxArgument(const std::string& command,
                                                         const std::string& nameOrUid) {
    std::optional<std::string> uid = ResolveTransferSyntax(nameOrUid);
    if (!uid)
        std::fprintf(stderr,
                     "pella %s: '%s' is neither a transfer syntax UID nor one of the names:\n%s",
                     command.c_str(), nameOrUid.c_str(), TransferSyntaxNameTable().c_str());
    return uid;
}

std::string TransferSyntaxNameTable() {
    std::string out;
    for (const auto& entry : kNames) {
        std::string name = entry.name;
        std::string uid = entry.uid;
        out += "  " + name + std::string(15 - name.size(), ' ') + uid +
               std::string(24 - uid.size(), ' ') + entry.description + "\n";
    }
    return out;
}

}  // namespace cli
