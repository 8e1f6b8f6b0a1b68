#include "data/convert/conversion_syntax.h"

#include "log/protocol_log.h"

namespace pella {

bool IsConvertibleSyntax(const std::string& uid) {
    TransferSyntax elements = TransferSyntax(uid).ElementSyntax();
    return elements.IsNative() || IsJpegSyntax(elements.Uid());
}

// Of the JPEG lossless syntaxes only the first-order prediction one is coded here.
bool IsJpegSyntax(const std::string& uid) {
    TransferSyntax syntax(uid);
    return syntax.Codec() == SyntaxCodec::kJpegBaseline || syntax == TransferSyntax(kJpegLossless);
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
