// The storage user against a scripted peer: the command set it sends, how it reads responses,
// and what it refuses to send.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/storage/store.h"
#include "support/data_set_builder.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

constexpr const char* kImplicit = "1.2.840.10008.1.2";
constexpr const char* kExplicit = "1.2.840.10008.1.2.1";
// 25 characters: sent with one zero byte as 26.
constexpr const char* kOddClass = "1.2.840.10008.5.1.4.1.1.7";
constexpr const char* kInstance = "1.2.3.4.5.6.7.8";

ElementList SmallDataSet(bool withInstance) {
    ElementList list;
    AddText(list, 0x0008, 0x0016, "UI", kOddClass);
    if (withInstance) AddText(list, 0x0008, 0x0018, "UI", kInstance);
    AddText(list, 0x0010, 0x0010, "PN", "Doe^Jane");
    AddUS(list, 0x0028, 0x0010, 2);
    return list;
}

Bytes StoreResponse(uint16_t status, bool withStatus = true, uint16_t field = kCStoreRSP,
                    uint16_t dataSetType = kNoDataSet, uint16_t respondedTo = 1) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, kOddClass);
    AppendUS(command, 0x0000, kTagCommandField, field);
    AppendUS(command, 0x0000, kTagMessageIDRespondedTo, respondedTo);
    AppendUS(command, 0x0000, kTagDataSetType, dataSetType);
    if (withStatus) AppendUS(command, 0x0000, kTagStatus, status);
    PrependCommandGroupLength(command);
    return PData(1, 0x03, SerializeList(command, false, false));
}

// The value of one P-DATA-TF (a single PDV) decoded as an implicit VR little endian list.
ElementList DecodePData(const Bytes& pdu) {
    ElementList list;
    if (pdu.size() < 12) return list;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = false;
    ReadDatasetBytes(pdu.data() + 12, pdu.size() - 12, state, list);
    return list;
}

// Proposes the storage offer for the file's syntax and, when given, the wanted one (the peer
// may only accept what was proposed).
bool OpenOn(PDU& pdu, ScriptedPeer& peer, const std::string& sopClass,
            const std::string& fileSyntax = kImplicit, const std::string& wantedSyntax = "") {
    std::string calling = "PELLA";
    return OpenStoreAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "PEER", sopClass, fileSyntax,
                          wantedSyntax);
}

// One C-STORE of `data` against a peer that accepts `accepted` and answers `response`; returns
// the PDUs the peer read and leaves the response's result in `status`.
std::vector<Bytes> ExchangeOne(ElementList& data, const std::string& accepted, const Bytes& response,
                               int32_t& status, const std::string& fileSyntax = kImplicit) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, accepted))
        .ReadPdu()
        .ReadPdu()
        .Send(response)
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    status = -100;
    if (OpenOn(pdu, peer, kOddClass, kImplicit, accepted) &&
        WriteStoreRQ(pdu, data, kOddClass, fileSyntax, false))
        status = ReadStoreRSP(pdu);
    ReleaseAssociation(pdu);
    return peer.Finish();
}

}  // namespace

TEST(StoreCommandSet, HoldsTheSevenElementsInOrderWithTheGroupLength) {
    ElementList data = SmallDataSet(true);
    int32_t status;
    auto pdus = ExchangeOne(data, kImplicit, StoreResponse(0), status);
    EXPECT_EQ(status, 0);
    ASSERT_GE(pdus.size(), 3u);
    EXPECT_EQ(pdus[1][11], 0x03);  // command, last fragment
    EXPECT_EQ(pdus[2][11], 0x02);  // data set, last fragment
    ElementList command = DecodePData(pdus[1]);
    ASSERT_EQ(command.size(), 7u);
    const uint16_t tags[] = {0x0000, 0x0002, 0x0100, 0x0110, 0x0700, 0x0800, 0x1000};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(command[i].element, tags[i]) << i;
    uint32_t groupLength = command[0].value[0] | (command[0].value[1] << 8);
    EXPECT_EQ(groupLength, 48u + 26u + 8u + 16u);
    EXPECT_EQ(command[1].length, 26);
    EXPECT_EQ(command[1].value[25], 0);
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0100), 0x0001);
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0110) % 2, 1);  // odd message IDs
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0700), 0);
    EXPECT_EQ(GetElementUS(command, 0x0000, 0x0800), 0x0102);
    EXPECT_EQ(UidText(command[6].value, command[6].length), kInstance);
    // The data set went unchanged in the file's syntax.
    ElementList sent = DecodePData(pdus[2]);
    ASSERT_EQ(sent.size(), data.size());
    EXPECT_EQ(GetElementText(sent, 0x0010, 0x0010), "Doe^Jane");
}

TEST(StoreCommandSet, WithoutInstanceUidHasSixElements) {
    ElementList data = SmallDataSet(false);
    int32_t status;
    auto pdus = ExchangeOne(data, kImplicit, StoreResponse(0), status);
    EXPECT_EQ(status, 0);
    ASSERT_GE(pdus.size(), 2u);
    ElementList command = DecodePData(pdus[1]);
    ASSERT_EQ(command.size(), 6u);
    EXPECT_EQ(command[0].value[0] | (command[0].value[1] << 8), 48 + 26);
    EXPECT_EQ(FindElement(command, 0x0000, 0x1000), nullptr);
}

TEST(StoreResponses, StatusOtherCommandMissingStatusAndLostConnection) {
    struct Case {
        Bytes response;
        int32_t expected;
    };
    const Case cases[] = {
        {StoreResponse(0xB007), 45063},
        {StoreResponse(0xA700), 0xA700},
        {StoreResponse(0, true, kCEchoRSP), kNotAStoreResponse},
        // A response without a status must not pass for a stored object.
        {StoreResponse(0, false), kNoStoreResponse},
        {kAbort, kNoStoreResponse},
    };
    for (const Case& c : cases) {
        ElementList data = SmallDataSet(true);
        int32_t status;
        ExchangeOne(data, kImplicit, c.response, status);
        EXPECT_EQ(status, c.expected);
    }
}

TEST(StoreResponses, AnnouncedDataSetIsReadSoTheNextResponseStaysInStep) {
    ElementList extra;
    AddText(extra, 0x0008, 0x0018, "UI", kInstance);
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .ReadPdu()
        .Send(StoreResponse(0, true, kCStoreRSP, 0x0000))
        .Send(PData(1, 0x02, SerializeList(extra, false, false)))
        .ReadPdu()
        .ReadPdu()
        .Send(StoreResponse(0xB000, true, kCStoreRSP, kNoDataSet, 2))
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenOn(pdu, peer, kOddClass));
    ElementList data = SmallDataSet(true);
    ASSERT_TRUE(WriteStoreRQ(pdu, data, kOddClass, kImplicit, false));
    EXPECT_EQ(ReadStoreRSP(pdu), 0);
    ASSERT_TRUE(WriteStoreRQ(pdu, data, kOddClass, kImplicit, false));
    EXPECT_EQ(ReadStoreRSP(pdu), 0xB000);
    ReleaseAssociation(pdu);
    peer.Finish();
}

TEST(StoreRefusals, NoContextOrAnUnsendableSyntaxSendsNothing) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kJpegLossless)).ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenOn(pdu, peer, kOddClass, kExplicit, kJpegLossless));
    ElementList data = SmallDataSet(true);
    // No context was proposed for another class.
    EXPECT_FALSE(WriteStoreRQ(pdu, data, "1.2.840.10008.5.1.4.1.1.2", kExplicit, false));
    // Explicit VR values on a JPEG context would be corrupt: refused without conversion.
    EXPECT_FALSE(WriteStoreRQ(pdu, data, kOddClass, kExplicit, false));
    EXPECT_NE(LastFailure().find("conversion not asked for"), std::string::npos) << LastFailure();
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 2u);  // the request and the release: no P-DATA-TF
    EXPECT_EQ(pdus[1][0], 0x05);
}

TEST(StoreConversion, ImplicitListCrossesToExplicitAndTheCallersValuesStay) {
    ElementList data = SmallDataSet(true);
    for (auto& e : data.items) std::memset(e->vr, 0, sizeof e->vr);  // as read from an implicit file
    ElementList before;
    CopyElements(before, data);
    int32_t status;
    auto pdus = ExchangeOne(data, kExplicit, StoreResponse(0), status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(data.size(), before.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        ASSERT_EQ(data[i].length, before[i].length);
        EXPECT_EQ(std::memcmp(data[i].value, before[i].value, static_cast<std::size_t>(data[i].length)), 0);
    }
    ASSERT_GE(pdus.size(), 3u);
    // Sent in explicit VR: the name's header carries "PN".
    const Bytes& set = pdus[2];
    EXPECT_NE(std::search(set.begin(), set.end(), std::begin("\x10\x00\x10\x00PN"),
                          std::begin("\x10\x00\x10\x00PN") + 6),
              set.end());
}

TEST(StoreSCUFile, WarningStatusIsAFailureAndUnreadableFilesConnectNowhere) {
    TempDir dir;
    ElementList meta, data = SmallDataSet(true);
    AddText(meta, 0x0002, 0x0010, "UI", kImplicit);
    std::string file = dir.File("small.dcm");
    ASSERT_TRUE(WritePart10File(file, &meta, data, false, false));

    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .ReadPdu()
        .Send(StoreResponse(0xB007))
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    std::string calling;
    EXPECT_FALSE(StoreSCU("127.0.0.1", peer.PortText(), calling, "PEER", file, "", false));
    EXPECT_EQ(calling, "KESTRA          ");
    EXPECT_NE(LastFailure().find("0xB007"), std::string::npos);
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 4u);  // request, command, data set, release
    EXPECT_EQ(pdus[3][0], 0x05);

    // A file without a SOP Class UID, a missing file and a folder: no association at all.
    ElementList noClass;
    AddText(noClass, 0x0010, 0x0010, "PN", "Doe");
    std::string classless = dir.File("classless.dcm");
    ASSERT_TRUE(WritePart10File(classless, &meta, noClass, false, false));
    const std::pair<std::string, std::string> bad[] = {
        {classless, "no SOP Class UID"},
        {dir.File("missing.dcm"), "file not found"},
        {dir.Path().string(), "not a readable DICOM Part 10 file"},
    };
    for (const auto& [name, reason] : bad) {
        std::string title = "ME";
        // Nobody listens there: had a connection been tried, the reason would say so.
        EXPECT_FALSE(StoreSCU("127.0.0.1", "1", title, "PEER", name, "", false)) << name;
        EXPECT_NE(LastFailure().find(reason), std::string::npos) << LastFailure();
    }
}
