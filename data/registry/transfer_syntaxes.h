// The transfer syntaxes this system knows: UID, name, and how a data set stands in each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pella.h"

namespace pella {

constexpr const char* kImplicitLittleEndian = PELLA_IMPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kExplicitLittleEndian = PELLA_EXPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kDeflatedLittleEndian = PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kExplicitBigEndian = PELLA_EXPLICIT_VR_BIG_ENDIAN;
constexpr const char* kJpegBaseline = PELLA_JPEG_BASELINE;
constexpr const char* kJpegLossless = PELLA_JPEG_LOSSLESS_SV1;  // process 14, predictor 1

struct TransferSyntaxInfo {
    const char* uid;
    const char* name;
    bool explicitVR;
    bool bigEndian;
    bool encapsulated;  // pixel data compressed in fragments
    bool deflated;      // the whole data set deflated
};

// Every known transfer syntax, the native ones first.
const std::vector<TransferSyntaxInfo>& TransferSyntaxes();

// The entry for a UID; null when the UID is unknown.
const TransferSyntaxInfo* FindTransferSyntax(std::string_view uid);

// Pixel data compressed in fragments (JPEG, JPEG-LS, JPEG 2000, RLE).
bool IsCompressedSyntax(std::string_view uid);

// Implicit or explicit VR little endian, or explicit VR big endian.
bool IsNativeSyntax(std::string_view uid);

// The name of a known syntax, or the UID itself.
std::string TransferSyntaxName(std::string_view uid);

}  // namespace pella
