// Writes the seed inputs of the network targets: PDU streams made with the builders the PDU
// and server tests use. Usage: fuzz_pdu_seeds FOLDER   (writes FOLDER/<target>/<name>)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/convert/file_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "net/dimse/command_set.h"
#include "net/pdu/pdu_test_data.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"

using namespace pella;
using testing_support::Bytes;
using testing_support::PData;
namespace fs = std::filesystem;

namespace {

constexpr const char* kVerification = "1.2.840.10008.1.1";
constexpr const char* kCtImage = "1.2.840.10008.5.1.4.1.1.2";
const Bytes kReleaseRQ = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};

Bytes Joined(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Command(uint16_t field, const char* sopClass, uint16_t messageID, bool withData) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, sopClass);
    AppendUS(command, 0x0000, kTagCommandField, field);
    AppendUS(command, 0x0000, (field & 0x8000) ? kTagMessageIDRespondedTo : kTagMessageID, messageID);
    if (field == kCStoreRQ) AppendUS(command, 0x0000, kTagPriority, 0);
    AppendUS(command, 0x0000, kTagDataSetType, withData ? kDataSetPresent : kNoDataSet);
    if (field & 0x8000) AppendUS(command, 0x0000, kTagStatus, 0);
    if (field == kCStoreRQ || field == kCStoreRSP)
        AppendUI(command, 0x0000, kTagAffectedSopInstance, "1.2.3.4.5");
    PrependCommandGroupLength(command);
    return SerializeList(command, false, false);
}

// The data set of pydicom's small CT sample, in either little-endian encoding: a real object
// with sequences, and small enough for the fuzzer's input limit.
Bytes SampleDataSet(bool explicitVR) {
    ElementList data;
    std::string syntax;
    if (!ReadDatasetAndSyntax(testing_support::PydicomFile("CT_small.dcm"), data, syntax)) return {};
    if (!ConvertListInPlace(data, explicitVR ? kExplicitLittleEndian : kImplicitLittleEndian, syntax))
        return {};
    return SerializeList(data, explicitVR, false);
}

// The unit cut into two fragments, the last one marked.
Bytes TwoFragments(uint8_t id, uint8_t control, const Bytes& unit) {
    std::size_t half = unit.size() / 2;
    return Joined({PData(id, control & ~0x02, Bytes(unit.begin(), unit.begin() + static_cast<long>(half))),
                   PData(id, control | 0x02, Bytes(unit.begin() + static_cast<long>(half), unit.end()))});
}

Bytes AssociateRQ(const std::string& storageSyntax) {
    return pdu_test::Associate(
        0x01, "PELLA", "FUZZER",
        {pdu_test::ProposedContext(1, kVerification, {kImplicitLittleEndian}),
         pdu_test::ProposedContext(3, kCtImage, {storageSyntax}),
         pdu_test::ProposedContext(5, "1.2.3.4", {kImplicitLittleEndian}), pdu_test::UserInfo()});
}

Bytes AssociateAC() {
    return pdu_test::Associate(0x02, "PELLA", "FUZZER",
                               {pdu_test::AnsweredContext(1, 0, kImplicitLittleEndian),
                                pdu_test::AnsweredContext(3, 0, kExplicitLittleEndian),
                                pdu_test::AnsweredContext(5, 3, ""), pdu_test::UserInfo()});
}

// The messages of an echo and a store, on contexts 1 (implicit) and 3 (explicit or implicit).
Bytes EchoAndStore(bool explicitStore, uint8_t storeContext) {
    return Joined({PData(1, 0x03, Command(kCEchoRQ, kVerification, 1, false)),
                   PData(storeContext, 0x03, Command(kCStoreRQ, kCtImage, 2, true)),
                   TwoFragments(storeContext, 0x00, SampleDataSet(explicitStore))});
}

void Write(const fs::path& folder, const std::string& target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder / target);
    std::ofstream out(folder / target / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    fs::path out = argv[1];
    const Bytes rq = AssociateRQ(kImplicitLittleEndian);
    const Bytes rqExplicit = AssociateRQ(kExplicitLittleEndian);
    const Bytes rqJpeg = pdu_test::Associate(
        0x01, "PELLA", "FUZZER",
        {pdu_test::ProposedContext(1, "1.2.840.10008.5.1.4.1.1.3.1",
                                   {"1.2.840.10008.1.2.4.50", kJpegLossless, kExplicitBigEndian}),
         pdu_test::UserInfo("")});
    const Bytes ac = AssociateAC();
    const Bytes rj = {0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1};

    Write(out, "pdu_acceptor", "associate-rq", rq);
    Write(out, "pdu_acceptor", "associate-rq-jpeg", rqJpeg);
    Write(out, "pdu_acceptor", "session", Joined({rq, EchoAndStore(false, 3), kReleaseRQ}));
    Write(out, "pdu_acceptor", "abort", Joined({rq, testing_support::kAbort}));

    Write(out, "pdu_requestor", "associate-ac", ac);
    Write(out, "pdu_requestor", "associate-rj", rj);
    Write(out, "pdu_requestor", "session",
          Joined({ac, PData(1, 0x03, Command(kCEchoRSP, kVerification, 1, false)),
                  PData(3, 0x03, Command(kCStoreRSP, kCtImage, 2, false)), testing_support::kReleaseRP}));
    Write(out, "pdu_requestor", "release-rq", Joined({ac, kReleaseRQ}));

    Write(out, "dimse_message", "echo-store-implicit", Joined({EchoAndStore(false, 1), kReleaseRQ}));
    Write(out, "dimse_message", "echo-store-explicit", EchoAndStore(true, 3));
    Write(out, "dimse_message", "store-jpeg-context", EchoAndStore(true, 5));
    Write(out, "dimse_message", "store-big-endian-context", EchoAndStore(true, 7));
    Write(
        out, "dimse_message", "command-in-two",
        Joined({TwoFragments(1, 0x01, Command(kCEchoRQ, kVerification, 1, false)), testing_support::kAbort}));

    Write(out, "store_session", "echo-store-release", Joined({rq, EchoAndStore(false, 3), kReleaseRQ}));
    Write(out, "store_session", "echo-store-explicit",
          Joined({rqExplicit, EchoAndStore(true, 3), kReleaseRQ}));
    Write(out, "store_session", "unserved-command",
          Joined({rq, PData(1, 0x03, Command(kCFindRQ, kVerification, 1, true))}));
    Write(out, "store_session", "jpeg-offer", Joined({rqJpeg, kReleaseRQ}));
    return 0;
}
