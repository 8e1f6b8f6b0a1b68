// The storage server's serving policy: which classes it takes and which transfer syntax it
// prefers, in both modes (every storage class, or the original table).
#include "services/storage/serving_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kCt = "1.2.840.10008.5.1.4.1.1.2";
const std::string kUsMulti = "1.2.840.10008.5.1.4.1.1.3.1";
const std::string kRtImage = "1.2.840.10008.5.1.4.1.1.481.1";
const std::string kVerification = "1.2.840.10008.1.1";
const std::string kImplicit = "1.2.840.10008.1.2";
const std::string kExplicit = "1.2.840.10008.1.2.1";
const std::string kBig = "1.2.840.10008.1.2.2";
const std::string kLossless = "1.2.840.10008.1.2.4.70";
const std::string kBaseline = "1.2.840.10008.1.2.4.50";
const std::string kDeflated = "1.2.840.10008.1.2.1.99";
const std::string kJ2k = "1.2.840.10008.1.2.4.91";
const std::string kRle = "1.2.840.10008.1.2.5";

// The transfer syntax accepted for one context (empty: refused) and its result.
std::pair<std::string, uint8_t> Decide(bool allClasses, const std::string& abstract,
                                       const std::vector<std::string>& offered) {
    PresentationContextRQ context;
    context.contextID = 1;
    context.SetAbstractSyntax(abstract);
    for (const auto& syntax : offered) context.AddTransferSyntax(syntax);
    std::vector<ContextDecision> decisions = NegotiateContexts({context}, StorageServingPolicy(allClasses));
    return {decisions.at(0).transferSyntax, decisions.at(0).result};
}

}  // namespace

TEST(ServingPolicy, TransferSyntaxPreferenceInBothModes) {
    struct Case {
        bool allClasses;
        std::string abstract;
        std::vector<std::string> offered;
        std::string accepted;  // empty: refused
        uint8_t result;
    };
    const Case cases[] = {
        {false, kCt, {kExplicit, kImplicit, kLossless}, kLossless, 0},
        // Every storage class: explicit, implicit, big endian, lossless, then lossy, whatever the
        // order offered.
        {true, kCt, {kLossless, kImplicit, kExplicit}, kExplicit, 0},
        {true, kCt, {kBaseline, kLossless, kBig, kImplicit}, kImplicit, 0},
        {true, kCt, {kBaseline, kLossless, kBig}, kBig, 0},
        {true, kCt, {kBaseline, kJ2k, kRle}, kRle, 0},
        {true, kCt, {kJ2k, kDeflated}, kDeflated, 0},
        {false, kUsMulti, {kLossless, kBaseline}, kBaseline, 0},
        {true, kUsMulti, {kLossless, kBaseline}, kLossless, 0},
        {false, kCt, {kLossless, kBaseline}, kLossless, 0},
        // Both little-endian syntaxes offered: the original table takes implicit VR, every other
        // mode explicit VR (private elements keep their VRs).
        {false, kCt, {kExplicit, kImplicit}, kImplicit, 0},
        {true, kCt, {kImplicit, kExplicit}, kExplicit, 0},
        {true, kUsMulti, {kImplicit, kExplicit}, kExplicit, 0},
        {true, kVerification, {kImplicit, kExplicit}, kExplicit, 0},
        {false, kCt, {kBaseline}, kBaseline, 0},
        {false, kCt, {kBig}, "", 4},
        {true, kCt, {kBig}, kBig, 0},
        {false, kCt, {kDeflated}, "", 4},
        // RT Image is a storage class outside the original table.
        {false, kRtImage, {kImplicit}, "", 3},
        {true, kRtImage, {kImplicit}, kImplicit, 0},
        {true, "1.2.3.4", {kImplicit}, "", 3},
        {true, kCt + " ", {kImplicit}, "", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.abstract + (c.allClasses ? " (all classes)" : " (original table)"));
        auto [accepted, result] = Decide(c.allClasses, c.abstract, c.offered);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(result, c.result);
    }
    EXPECT_TRUE(IsServedSopClass("1.2.840.10008.5.1.4.1.1.7"));
    // Every syntax of the registry is served, each once, lossy after lossless.
    std::vector<std::string> served = ServedTransferSyntaxes(kCt, false);
    EXPECT_EQ(served.size(), TransferSyntaxes().size());
    bool lossySeen = false;
    for (const TransferSyntaxInfo& info : TransferSyntaxes())
        EXPECT_EQ(std::count(served.begin(), served.end(), info.uid), 1) << info.uid;
    for (const std::string& uid : served) {
        lossySeen = lossySeen || TransferSyntax(uid).Lossy();
        EXPECT_TRUE(!lossySeen || TransferSyntax(uid).Lossy()) << uid << " after a lossy syntax";
    }
    EXPECT_FALSE(IsServedSopClass(kRtImage));
    EXPECT_FALSE(IsServedSopClass(kCt + " "));
}

// DCMTK's storescu (+C) proposes explicit and implicit VR little endian in one context: pella serve
// takes explicit VR and files the object with the VRs of its private elements; with the original
// table it takes implicit VR, as that table always did.
TEST(ServingPolicy, PellaServeTakesExplicitVrAndKeepsPrivateVrs) {
    const std::string sample = PydicomFile("CT_small.dcm");
    for (bool original : {false, true}) {
        SCOPED_TRACE(original ? "original table" : "every storage class");
        TempDir dir;
        ServeProcess serve(dir.File("db"), original ? std::vector<std::string>{"--sop-classes", "original"}
                                                    : std::vector<std::string>{});
        ASSERT_TRUE(serve.started);
        int code = -1;
        std::string out = RunCommand("TCP_NODELAY=1 storescu -xe +C -aec PELLA 127.0.0.1 " +
                                         std::to_string(serve.port) + " " + Quote(sample) + " 2>&1",
                                     &code);
        serve.process.Stop();
        ASSERT_EQ(code, 0) << out;
        std::vector<std::string> stored;
        for (const auto& entry : fs::recursive_directory_iterator(dir.File("db")))
            if (entry.path().extension() == ".dcm") stored.push_back(entry.path().string());
        ASSERT_EQ(stored.size(), 1u);
        // The stored file's syntax; in explicit VR every private element keeps the sender's VR.
        std::string check = RunCommand(
            "/usr/bin/python3 -c \"import sys, pydicom\n"
            "sent, kept = pydicom.dcmread(sys.argv[1]), pydicom.dcmread(sys.argv[2])\n"
            "print(kept.file_meta.TransferSyntaxUID)\n"
            "private = [e for e in sent if e.tag.is_private]\n"
            "assert len(private) > 10, len(private)\n"
            "if not kept.is_implicit_VR: print(all(kept[e.tag].VR == e.VR != 'UN' for e in private))\" " +
                Quote(sample) + " " + Quote(stored[0]) + " 2>&1",
            &code);
        ASSERT_EQ(code, 0) << check;
        EXPECT_EQ(check, original ? "1.2.840.10008.1.2\n" : "1.2.840.10008.1.2.1\nTrue\n");
    }
}
