// temporary: replaced by the converter
// Handles only what the storage user needs until then: the same syntax (a copy) and the
// little-endian implicit <-> explicit pair. Everything else fails.
#include "data/dataset_conversion.h"

#include "data/dictionary.h"
#include "data/element_header.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool IsNativeLittleEndian(const std::string& syntax) {
    return syntax == kImplicitLittleEndian || syntax == kExplicitLittleEndian;
}

}  // namespace

bool ConvertDataset(ElementList& output, ElementList& input, const std::string& targetSyntax,
                    const std::string& sourceSyntax) {
    bool sameSyntax = targetSyntax == sourceSyntax;
    if (!sameSyntax && !(IsNativeLittleEndian(targetSyntax) && IsNativeLittleEndian(sourceSyntax))) {
        LogFailure("Conversion from " + sourceSyntax + " to " + targetSyntax + " is not supported");
        return false;
    }
    if (sourceSyntax == kImplicitLittleEndian) {
        for (const auto& e : input)
            if (e->vr[0] == '\0') LookupVR(*e);
    }
    CopyElements(output, input);
    return true;
}

}  // namespace pella
