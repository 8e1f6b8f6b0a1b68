#include "services/storage/serving_policy.h"

#include <algorithm>

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"

namespace pella {

namespace {

constexpr const char* kUltrasoundMultiframe = "1.2.840.10008.5.1.4.1.1.3.1";

// How much the server prefers a syntax, smallest first: explicit VR little endian (keeps the VRs
// of private elements), implicit VR little endian, explicit VR big endian, then the lossless
// compressed syntaxes and last the lossy ones, each group in the registry's order.
int Preference(const TransferSyntaxInfo& info) {
    TransferSyntax syntax(info.uid);
    if (syntax.IsNativeLittleEndian()) return syntax.ExplicitVR() ? 0 : 1;
    if (syntax.IsNative()) return 2;
    return info.lossy ? 4 : 3;
}

// Every syntax of the registry, in the order of Preference.
std::vector<std::string> EverySyntaxByPreference() {
    std::vector<const TransferSyntaxInfo*> ranked;
    for (const TransferSyntaxInfo& info : TransferSyntaxes()) ranked.push_back(&info);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const TransferSyntaxInfo* a, const TransferSyntaxInfo* b) {
                         return Preference(*a) < Preference(*b);
                     });
    std::vector<std::string> syntaxes;
    for (const TransferSyntaxInfo* info : ranked) syntaxes.push_back(info->uid);
    return syntaxes;
}

// The original table's choice: JPEG lossless first (JPEG baseline first for Ultrasound
// Multi-frame), implicit before explicit VR, JPEG baseline, never big endian.
std::vector<std::string> OriginalTableSyntaxes(const std::string& abstractSyntax) {
    std::vector<std::string> syntaxes;
    if (abstractSyntax == kUltrasoundMultiframe) syntaxes.push_back(kJpegBaseline);
    syntaxes.push_back(kJpegLossless);
    syntaxes.push_back(kImplicitLittleEndian);
    syntaxes.push_back(kExplicitLittleEndian);
    if (abstractSyntax != kUltrasoundMultiframe) syntaxes.push_back(kJpegBaseline);
    return syntaxes;
}

}  // namespace

std::vector<std::string> ServedTransferSyntaxes(const std::string& abstractSyntax, bool originalTable) {
    if (originalTable) return OriginalTableSyntaxes(abstractSyntax);
    static const std::vector<std::string> every = EverySyntaxByPreference();
    return every;
}

bool ServesAbstractSyntax(const std::string& abstractSyntax, bool originalTable) {
    if (IsServedSopClass(abstractSyntax)) return true;
    return !originalTable && IsStorageSopClass(abstractSyntax);
}

ServingPolicy StorageServingPolicy(bool allStorageClasses) {
    const bool originalTable = !allStorageClasses;
    ServingPolicy policy;
    policy.transferSyntaxesFor = [originalTable](const std::string& abstractSyntax) {
        if (!ServesAbstractSyntax(abstractSyntax, originalTable)) return std::vector<std::string>{};
        return ServedTransferSyntaxes(abstractSyntax, originalTable);
    };
    return policy;
}

}  // namespace pella
