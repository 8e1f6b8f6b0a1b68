#include "services/storage/serving_policy.h"

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"

namespace pella {

namespace {

constexpr const char* kUltrasoundMultiframe = "1.2.840.10008.5.1.4.1.1.3.1";

}  // namespace

std::vector<std::string> ServedTransferSyntaxes(const std::string& abstractSyntax, bool originalTable) {
    std::vector<std::string> syntaxes;
    if (abstractSyntax == kUltrasoundMultiframe) syntaxes.push_back(kJpegBaseline);
    syntaxes.push_back(kJpegLossless);
    if (originalTable) {
        syntaxes.push_back(kImplicitLittleEndian);
        syntaxes.push_back(kExplicitLittleEndian);
    } else {
        syntaxes.push_back(kExplicitLittleEndian);
        syntaxes.push_back(kImplicitLittleEndian);
    }
    if (abstractSyntax != kUltrasoundMultiframe) syntaxes.push_back(kJpegBaseline);
    return syntaxes;
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
