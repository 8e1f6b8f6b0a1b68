// The transfer syntaxes this system knows, and TransferSyntax, the value every part of the system
// asks how a data set stands in a syntax (VR form, byte order, encapsulation, codec).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pella.h"

namespace pella {

constexpr const char* kImplicitLittleEndian = PELLA_IMPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kExplicitLittleEndian = PELLA_EXPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kDeflatedLittleEndian = PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN;
constexpr const char* kExplicitBigEndian = PELLA_EXPLICIT_VR_BIG_ENDIAN;
constexpr const char* kJpegBaseline = PELLA_JPEG_BASELINE;
constexpr const char* kJpegLossless = PELLA_JPEG_LOSSLESS_SV1;  // process 14, predictor 1

// What turns the encoded bytes back into values: nothing (native), inflating the whole data set,
// or the pixel data's codec.
enum class SyntaxCodec : uint8_t {
    kNone,
    kDeflate,
    kJpegBaseline,
    kJpegExtended,
    kJpegLossless,
    kJpegLs,
    kJpeg2000,
    kHtj2k,  // High-Throughput JPEG 2000
    kRle
};

struct TransferSyntaxInfo {
    const char* uid;
    const char* name;
    bool explicitVR;
    bool bigEndian;
    bool encapsulated;  // pixel data compressed in fragments
    bool lossy;         // the pixel data may differ from the original
    SyntaxCodec codec;
};

// Every known transfer syntax, the native ones first.
std::span<const TransferSyntaxInfo> TransferSyntaxes();

// A transfer syntax named by its UID (as given: no padding is removed). An unknown UID stands
// for explicit VR little endian with native pixel data, as every syntax after the first three is.
class TransferSyntax {
public:
    explicit TransferSyntax(std::string_view uid);

    const std::string& Uid() const { return uid_; }
    bool Known() const { return info_ != nullptr; }
    bool ExplicitVR() const { return info_ == nullptr || info_->explicitVR; }
    bool BigEndian() const { return info_ != nullptr && info_->bigEndian; }
    bool Encapsulated() const { return info_ != nullptr && info_->encapsulated; }
    bool Lossy() const { return info_ != nullptr && info_->lossy; }
    SyntaxCodec Codec() const { return info_ != nullptr ? info_->codec : SyntaxCodec::kNone; }
    bool Deflated() const { return Codec() == SyntaxCodec::kDeflate; }
    // The syntax the data set's elements stand in once read: a deflated data set inflates to
    // explicit VR little endian; any other syntax is its own.
    TransferSyntax ElementSyntax() const {
        return Deflated() ? TransferSyntax(kExplicitLittleEndian) : *this;
    }
    bool IsImplicitLittleEndian() const { return !ExplicitVR(); }
    // Implicit or explicit VR little endian, or explicit VR big endian.
    bool IsNative() const { return Known() && Codec() == SyntaxCodec::kNone; }
    // A native little-endian syntax: the values stand as they are read on this machine.
    bool IsNativeLittleEndian() const { return IsNative() && !BigEndian(); }
    // The standard's name, or the UID itself when unknown.
    std::string Name() const { return info_ != nullptr ? info_->name : uid_; }

    bool operator==(const TransferSyntax& other) const { return uid_ == other.uid_; }

private:
    std::string uid_;
    const TransferSyntaxInfo* info_;
};

// The name of a known syntax, or the UID itself.
inline std::string TransferSyntaxName(std::string_view uid) {
    return TransferSyntax(uid).Name();
}

}  // namespace pella
