#include "data/registry/transfer_syntaxes.h"

#include <gtest/gtest.h>

#include <set>

namespace pella {
namespace {

using C = SyntaxCodec;

struct SyntaxCase {
    const char* uid;
    bool known, explicitVR, bigEndian, encapsulated, lossy;
    SyntaxCodec codec;
    bool native;
};

TEST(TransferSyntax, EachSyntaxAnswersHowItsDataSetStands) {
    const SyntaxCase cases[] = {
        {PELLA_IMPLICIT_VR_LITTLE_ENDIAN, true, false, false, false, false, C::kNone, true},
        {PELLA_EXPLICIT_VR_LITTLE_ENDIAN, true, true, false, false, false, C::kNone, true},
        {PELLA_EXPLICIT_VR_BIG_ENDIAN, true, true, true, false, false, C::kNone, true},
        {PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN, true, true, false, false, false, C::kDeflate, false},
        {PELLA_JPEG_BASELINE, true, true, false, true, true, C::kJpegBaseline, false},
        {PELLA_JPEG_EXTENDED, true, true, false, true, true, C::kJpegExtended, false},
        {PELLA_JPEG_LOSSLESS, true, true, false, true, false, C::kJpegLossless, false},
        {PELLA_JPEG_LOSSLESS_SV1, true, true, false, true, false, C::kJpegLossless, false},
        {PELLA_JPEG_LS_LOSSLESS, true, true, false, true, false, C::kJpegLs, false},
        {PELLA_JPEG_LS_NEAR_LOSSLESS, true, true, false, true, true, C::kJpegLs, false},
        {PELLA_JPEG_2000_LOSSLESS, true, true, false, true, false, C::kJpeg2000, false},
        {PELLA_JPEG_2000, true, true, false, true, true, C::kJpeg2000, false},
        {PELLA_HTJ2K_LOSSLESS, true, true, false, true, false, C::kHtj2k, false},
        {PELLA_HTJ2K_LOSSLESS_RPCL, true, true, false, true, false, C::kHtj2k, false},
        {PELLA_HTJ2K, true, true, false, true, true, C::kHtj2k, false},
        {PELLA_RLE_LOSSLESS, true, true, false, true, false, C::kRle, false},
        // Unknown UIDs (a later syntax, a padded or shortened UID, nothing) read as explicit VR
        // little endian with native pixel data, but are not known to be native.
        {"1.2.840.10008.1.2.4.100", false, true, false, false, false, C::kNone, false},
        {"1.2.840.10008.1.2 ", false, true, false, false, false, C::kNone, false},
        {"1.2.840.10008.1", false, true, false, false, false, C::kNone, false},
        {"", false, true, false, false, false, C::kNone, false},
    };
    for (const SyntaxCase& c : cases) {
        TransferSyntax syntax(c.uid);
        EXPECT_EQ(syntax.Uid(), c.uid);
        EXPECT_EQ(syntax.Known(), c.known) << c.uid;
        EXPECT_EQ(syntax.ExplicitVR(), c.explicitVR) << c.uid;
        EXPECT_EQ(syntax.IsImplicitLittleEndian(), !c.explicitVR) << c.uid;
        EXPECT_EQ(syntax.BigEndian(), c.bigEndian) << c.uid;
        EXPECT_EQ(syntax.Encapsulated(), c.encapsulated) << c.uid;
        EXPECT_EQ(syntax.Lossy(), c.lossy) << c.uid;
        EXPECT_EQ(syntax.Codec(), c.codec) << c.uid;
        EXPECT_EQ(syntax.Deflated(), c.codec == C::kDeflate) << c.uid;
        EXPECT_EQ(syntax.IsNative(), c.native) << c.uid;
        EXPECT_EQ(syntax.IsNativeLittleEndian(), c.native && !c.bigEndian) << c.uid;
        EXPECT_EQ(syntax.Name() == c.uid, !c.known) << c.uid;
    }
}

TEST(TransferSyntax, TableHasOneEntryPerUidNativeOnesFirst) {
    std::set<std::string> uids;
    bool nativePart = true;
    for (const TransferSyntaxInfo& entry : TransferSyntaxes()) {
        EXPECT_TRUE(uids.insert(entry.uid).second) << entry.uid;
        bool native = entry.codec == SyntaxCodec::kNone;
        EXPECT_TRUE(native || !entry.bigEndian) << entry.uid;
        EXPECT_EQ(entry.encapsulated, !native && entry.codec != SyntaxCodec::kDeflate) << entry.uid;
        if (!native) nativePart = false;
        EXPECT_TRUE(nativePart || !native) << entry.uid;
    }
    EXPECT_EQ(uids.size(), 16u);
    EXPECT_EQ(TransferSyntaxName(kJpegBaseline), "JPEG Baseline (Process 1)");
    EXPECT_TRUE(TransferSyntax(kJpegLossless) == TransferSyntax(PELLA_JPEG_LOSSLESS_SV1));
    EXPECT_FALSE(TransferSyntax(kJpegLossless) == TransferSyntax(PELLA_JPEG_LOSSLESS));
}

}  // namespace
}  // namespace pella
