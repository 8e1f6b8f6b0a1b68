#include "data/convert/conversion_syntax.h"

#include "data/codec/codec_registry.h"
#include "log/protocol_log.h"

namespace pella {

bool CanConvertFrom(const std::string& uid) {
    TransferSyntax syntax(uid);
    return syntax.IsNative() || CanDecodeSyntax(syntax);
}

bool CanConvertTo(const std::string& uid) {
    TransferSyntax syntax(uid);
    return syntax.IsNative() || CanEncodeSyntax(syntax);
}

bool ConversionFailed(const std::string& reason) {
    LogFailure("ConvertDataset: " + reason);
    return false;
}

ConversionFlags MakeConversionFlags(const std::string& targetSyntax, const std::string& sourceSyntax) {
    TransferSyntax source(sourceSyntax), target(targetSyntax);
    ConversionFlags flags;
    flags.sourceExplicit = source.ExplicitVR();
    flags.targetExplicit = target.ExplicitVR();
    flags.sourceBigEndian = source.BigEndian();
    flags.targetBigEndian = target.BigEndian();
    return flags;
}

}  // namespace pella
