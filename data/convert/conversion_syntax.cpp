#include "data/convert/conversion_syntax.h"

#include "data/io/element_header.h"
#include "log/protocol_log.h"

namespace pella {

bool IsConvertibleSyntax(const std::string& uid) {
    return uid == kImplicitLittleEndian || uid == kExplicitLittleEndian ||
           uid == kExplicitBigEndian || IsJpegSyntax(uid);
}

bool IsJpegSyntax(const std::string& uid) { return uid == kJpegLossless || uid == kJpegBaseline; }

bool ConversionFailed(const std::string& reason) {
    LogFailure("ConvertDataset: " + reason);
    return false;
}

ConversionFlags MakeConversionFlags(const std::string& targetSyntax,
                                    const std::string& sourceSyntax) {
    ParseState source, target;
    ApplyTransferSyntax(source, sourceSyntax);
    ApplyTransferSyntax(target, targetSyntax);
    ConversionFlags flags;
    flags.sourceExplicit = source.explicitVR;
    flags.targetExplicit = target.explicitVR;
    flags.sourceBigEndian = source.bigEndian;
    flags.targetBigEndian = target.bigEndian;
    return flags;
}

}  // namespace pella
