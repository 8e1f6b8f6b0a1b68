// The transfer syntaxes the converter reads and writes, and the encoding flags derived from them.
#pragma once

#include <string>

#include "data/registry/transfer_syntaxes.h"

namespace pella {

// Whether data sets can be converted from and into the syntax: the native syntaxes, and those
// whose pixel data the codec registry decodes (from) or encodes (into).
bool CanConvertFrom(const std::string& uid);
bool CanConvertTo(const std::string& uid);

struct ConversionFlags {
    bool sourceExplicit = true;
    bool targetExplicit = true;
    bool sourceBigEndian = false;
    bool targetBigEndian = false;

    // True when values are re-encoded (VR form or byte order differ).
    bool EncodingsDiffer() const {
        return sourceExplicit != targetExplicit || sourceBigEndian != targetBigEndian;
    }
    bool ByteOrderChanges() const { return sourceBigEndian != targetBigEndian; }
};

// Logs "ConvertDataset: <reason>" as the thread's failure; returns false.
bool ConversionFailed(const std::string& reason);

ConversionFlags MakeConversionFlags(const std::string& targetSyntax, const std::string& sourceSyntax);

}  // namespace pella
