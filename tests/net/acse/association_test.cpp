// The requestor against a scripted acceptor: exact bytes on the wire, fragmenting, and every
// kind of hostile answer failing cleanly.
#include <gtest/gtest.h>

#include <chrono>

#include "data/io/dataset_writer.h"
#include "log/protocol_log.h"
#include "net/acse/association.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/verification/echo.h"
#include "support/scripted_peer.h"

using namespace pella;
using namespace testing_support;

namespace {

constexpr const char* kImplicit = "1.2.840.10008.1.2";
constexpr const char* kExplicit = "1.2.840.10008.1.2.1";
constexpr const char* kVerification = "1.2.840.10008.1.1";

Bytes EchoResponse(uint16_t messageID, uint16_t status) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, kVerification);
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRSP);
    AppendUS(command, 0x0000, kTagMessageIDRespondedTo, messageID);
    AppendUS(command, 0x0000, kTagDataSetType, kNoDataSet);
    AppendUS(command, 0x0000, kTagStatus, status);
    PrependCommandGroupLength(command);
    return SerializeList(command, false, false);
}

// The A-ASSOCIATE-RQ an echo sends with the default calling title, byte for byte.
Bytes ExpectedEchoRequest() {
    Bytes b = {0x01, 0};
    PutU32(b, 205);
    PutU16(b, 1);
    PutU16(b, 0);
    Bytes called(16, 0x20);  // padded with spaces
    std::string calledText = "ANY-SCP";
    std::copy(calledText.begin(), calledText.end(), called.begin());
    b.insert(b.end(), called.begin(), called.end());
    PutText(b, "KESTRA          ");
    b.insert(b.end(), 32, 0);
    PutText(b, std::string("\x10\x00\x00\x15", 4) + "1.2.840.10008.3.1.1.1");
    PutText(b, std::string("\x20\x00\x00\x2E\x01\x00\x00\x00", 8));
    PutText(b, std::string("\x30\x00\x00\x11", 4) + kVerification);
    PutText(b, std::string("\x40\x00\x00\x11", 4) + kImplicit);
    PutText(b, std::string("\x50\x00\x00\x3A", 4));
    PutText(b, std::string("\x51\x00\x00\x04\x00\x02\x00\x00", 8));  // 128 KiB taken
    PutText(b, std::string("\x52\x00\x00\x1E", 4) + "1.2.826.0.1.3680043.2.7777.999");
    PutText(b, std::string("\x55\x00\x00\x0C", 4) + "orvexStation");
    return b;
}

// The C-ECHO-RQ with message ID 1 (the association's first): 68 bytes of command in an
// 80-byte P-DATA-TF.
Bytes ExpectedEchoCommandPdu() {
    Bytes command = {0, 0, 0, 0, 4, 0, 0, 0, 0x38, 0, 0, 0, 0, 0, 2, 0, 0x12, 0, 0, 0};
    PutText(command, kVerification);
    command.push_back(0);
    for (auto tail : {std::string("\x00\x00\x00\x01\x02\x00\x00\x00\x30\x00", 10),
                      std::string("\x00\x00\x10\x01\x02\x00\x00\x00\x01\x00", 10),
                      std::string("\x00\x00\x00\x08\x02\x00\x00\x00\x01\x01", 10)})
        PutText(command, tail);
    EXPECT_EQ(command.size(), 68u);
    return PData(1, 0x03, command);
}

const Bytes kReleaseRQ = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};

// An association opened against the scripted peer, offering `offered` before implicit VR.
bool OpenAgainst(PDU& pdu, ScriptedPeer& peer, const std::string& offered = "") {
    std::string calling;
    return OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "ANY-SCP", kVerification, offered);
}

}  // namespace

TEST(Association, EchoSendsTheExactRequestCommandAndRelease) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .Send(PData(1, 0x03, EchoResponse(1, 0)))
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    std::string calling;
    EXPECT_TRUE(EchoSCU("127.0.0.1", peer.PortText(), calling, "ANY-SCP"));
    EXPECT_EQ(calling, "KESTRA          ");  // the default is left in the caller's text
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[0], ExpectedEchoRequest());
    EXPECT_EQ(pdus[1], ExpectedEchoCommandPdu());
    EXPECT_EQ(pdus[2], kReleaseRQ);
}

TEST(Association, EchoStatusOtherThanZeroFails) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .Send(PData(1, 0x03, EchoResponse(1, 0x0110)))
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    std::string calling = "ME";
    EXPECT_FALSE(EchoSCU("127.0.0.1", peer.PortText(), calling, "ANY-SCP"));
    EXPECT_NE(LastFailure().find("0x0110"), std::string::npos);
    peer.Finish();
}

// A response naming another message (or on another context) does not answer the request: the
// association is out of step and is aborted, whatever the status says.
TEST(Association, AResponseToAnotherMessageIsNoAnswer) {
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .ReadPdu()
        .Send(PData(1, 0x03, EchoResponse(7, 0)))
        .ReadPdu();
    peer.Start();
    std::string calling = "ME";
    EXPECT_FALSE(EchoSCU("127.0.0.1", peer.PortText(), calling, "ANY-SCP"));
    EXPECT_NE(LastFailure().find("does not answer message 1"), std::string::npos) << LastFailure();
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[2][0], 0x07);  // A-ABORT, not a release
}

TEST(Association, OfferedTransferSyntaxes) {
    EXPECT_EQ(OpenAssocSyntaxes(""), std::vector<std::string>({kImplicit}));
    EXPECT_EQ(OpenAssocSyntaxes(kExplicit), std::vector<std::string>({kExplicit, kImplicit}));
    EXPECT_EQ(OpenAssocSyntaxes(kImplicit), std::vector<std::string>({kImplicit}));
    const std::string jpeg = "1.2.840.10008.1.2.4.70";
    EXPECT_EQ(StoreAssocSyntaxes(jpeg, kExplicit), std::vector<std::string>({kExplicit, jpeg, kImplicit}));
    EXPECT_EQ(StoreAssocSyntaxes(jpeg, jpeg), std::vector<std::string>({jpeg, kImplicit}));
    EXPECT_EQ(StoreAssocSyntaxes("", ""), std::vector<std::string>({kImplicit}));
    EXPECT_EQ(StoreAssocSyntaxes(kImplicit, ""), std::vector<std::string>({kImplicit}));
}

TEST(Association, LongTitlesAreCutTo16Characters) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    std::string calling = "CALLING-TITLE-FAR-TOO-LONG";
    ASSERT_TRUE(OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "CALLED-TITLE-ALSO-FAR-TOO-LONG",
                          kVerification, ""));
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_GE(pdus.size(), 1u);
    EXPECT_EQ(std::string(pdus[0].begin() + 10, pdus[0].begin() + 26), "CALLED-TITLE-ALS");
    EXPECT_EQ(std::string(pdus[0].begin() + 26, pdus[0].begin() + 42), "CALLING-TITLE-FA");
}

// The peer's maximum PDU length bounds the whole P-DATA-TF variable field: with one value per
// PDU a fragment holds the maximum - 6 bytes; a maximum of 0 means no limit (our cap applies).
TEST(Association, DataSetFragmentsFollowThePeersMaximumPduLength) {
    struct Case {
        uint32_t announced;
        std::vector<std::size_t> fragments;
    };
    const Case cases[] = {
        {4096, {4090, 4090, 1820}}, {16384, {10000}}, {0, {10000}}, {5000, {4994, 4994, 12}}};
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.ReadPdu().Send(AcceptBytes(1, kImplicit, 0, c.announced));
        for (std::size_t i = 0; i < c.fragments.size(); ++i) peer.ReadPdu();
        peer.ReadPdu().Send(kReleaseRP);
        peer.Start();
        PDU pdu(5);
        ASSERT_TRUE(OpenAgainst(pdu, peer));
        ElementList data;
        std::vector<uint8_t> value(9992, 0xAB);  // 8 header bytes + 9992 = 10000
        data.Append(NewElement(0x0009, 0x1001, 9992, value.data(), "OB"));
        ASSERT_TRUE(SendMessage(pdu, data, kVerification, kDataSet));
        ReleaseAssociation(pdu);
        auto pdus = peer.Finish();
        ASSERT_EQ(pdus.size(), c.fragments.size() + 2) << c.announced;
        for (std::size_t i = 0; i < c.fragments.size(); ++i) {
            const Bytes& p = pdus[1 + i];
            EXPECT_EQ(p.size(), c.fragments[i] + 12) << c.announced << " " << i;
            if (c.announced != 0) {
                EXPECT_LE(p.size() - 6, c.announced);
            }
            EXPECT_EQ(p[10], 1);  // context ID
            EXPECT_EQ(p[11], i + 1 == c.fragments.size() ? 0x02 : 0x00);
        }
    }
}

// A large message's buffer is given back once the message is decoded or sent, so an
// association that carried one big object does not keep its size for the rest of its life.
TEST(Association, LargeMessagesDoNotStayInMemory) {
    ElementList big;
    std::vector<uint8_t> value(3000000, 0x5A);
    big.Append(NewElement(0x0009, 0x1001, static_cast<int32_t>(value.size()), value.data(), "OB"));
    Bytes bigBytes = SerializeList(big, false, false);
    ElementList command;
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRSP);
    AppendUS(command, 0x0000, kTagDataSetType, kDataSetPresent);
    PrependCommandGroupLength(command);

    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit, 0, 0))
        .Send(PData(1, 0x03, SerializeList(command, false, false)));
    for (std::size_t at = 0; at < bigBytes.size(); at += 65536) {
        std::size_t n = std::min<std::size_t>(65536, bigBytes.size() - at);
        peer.Send(PData(1, at + n == bigBytes.size() ? 0x02 : 0x00,
                        Bytes(bigBytes.begin() + at, bigBytes.begin() + at + n)));
    }
    for (int i = 0; i < 3; ++i) peer.ReadPdu();  // 3 MB out in PDUs of at most 1 MiB
    peer.ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer));
    ElementList received, receivedData;
    ASSERT_TRUE(ReadMessage(pdu, received));
    ASSERT_TRUE(ReadMessage(pdu, receivedData));
    ASSERT_EQ(receivedData.size(), 1u);
    EXPECT_EQ(receivedData[0].length, 3000000);
    EXPECT_LE(pdu.data.staging.capacity(), kKeptMessageBuffer);
    ASSERT_TRUE(SendMessage(pdu, big, kVerification, kDataSet));
    EXPECT_LE(pdu.data.staging.capacity(), kKeptMessageBuffer);
    ReleaseAssociation(pdu);
    peer.Finish();
}

TEST(Association, ShortLengthVRLongerThan65535GoesAsUN) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kExplicit));
    for (int i = 0; i < 5; ++i) peer.ReadPdu();  // 70012 bytes in fragments of 16378
    peer.ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer, kExplicit));
    ElementList data;
    std::string text(70000, 'x');
    data.Append(NewElement(0x0008, 0x1030, 70000, text.data(), "LO"));
    ASSERT_TRUE(SendMessage(pdu, data, kVerification, kDataSet));
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_GE(pdus.size(), 2u);
    Bytes first(pdus[1].begin() + 12, pdus[1].begin() + 24);
    Bytes expected = {0x08, 0x00, 0x30, 0x10, 'U', 'N', 0, 0, 0x70, 0x11, 0x01, 0x00};
    EXPECT_EQ(first, expected);
}

// A data set read from a big-endian file keeps its values in that order, so on a context
// accepted in explicit VR big endian it goes as it stands, with big-endian headers.
TEST(Association, BigEndianContextCarriesBigEndianHeaders) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, "1.2.840.10008.1.2.2")).ReadPdu().ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer, "1.2.840.10008.1.2.2"));
    ElementList data;
    data.Append(NewElement(0x0010, 0x0020, 2, "ID", "LO"));
    EXPECT_TRUE(SendMessage(pdu, data, kVerification, kDataSet));
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[1], PData(1, 0x02, Bytes{0x00, 0x10, 0x00, 0x20, 'L', 'O', 0x00, 0x02, 'I', 'D'}));
}

TEST(Association, SendingForAnUnproposedClassSendsNothing) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer));
    EXPECT_FALSE(WriteEchoRQ(pdu, "1.2.840.10008.5.1.4.1.1.2"));
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 2u);
    EXPECT_EQ(pdus[1], kReleaseRQ);
}

TEST(Association, RefusedContextClosesWithoutRelease) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicit, 3)).WaitForClose();
    peer.Start();
    PDU pdu(5);
    EXPECT_FALSE(OpenAgainst(pdu, peer));
    EXPECT_FALSE(pdu.IsConnected());
    EXPECT_EQ(peer.Finish().size(), 1u);  // the request only: no A-RELEASE-RQ
}

TEST(Association, CommandAndDataSetInOnePduAndOneBytePdvs) {
    ElementList command;
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRSP);
    AppendUS(command, 0x0000, kTagDataSetType, kDataSetPresent);
    PrependCommandGroupLength(command);
    Bytes commandBytes = SerializeList(command, false, false);
    ElementList data;
    data.Append(NewElement(0x0010, 0x0020, 4, "ID42", "LO"));
    Bytes dataBytes = SerializeList(data, false, false);

    // One P-DATA-TF with two values: the command and the data set.
    Bytes twoValues = {0x04, 0};
    PutU32(twoValues, static_cast<uint32_t>(commandBytes.size() + dataBytes.size() + 12));
    PutU32(twoValues, static_cast<uint32_t>(commandBytes.size() + 2));
    twoValues.push_back(1);
    twoValues.push_back(0x03);
    twoValues.insert(twoValues.end(), commandBytes.begin(), commandBytes.end());
    PutU32(twoValues, static_cast<uint32_t>(dataBytes.size() + 2));
    twoValues.push_back(1);
    twoValues.push_back(0x02);
    twoValues.insert(twoValues.end(), dataBytes.begin(), dataBytes.end());
    // Then the command and the data set again, the data set one byte per value.
    Bytes oneByteValues = PData(1, 0x03, commandBytes);
    for (std::size_t i = 0; i < dataBytes.size(); ++i) {
        bool last = i + 1 == dataBytes.size();
        Bytes piece = PData(1, last ? 0x02 : 0x00, Bytes{dataBytes[i]});
        oneByteValues.insert(oneByteValues.end(), piece.begin(), piece.end());
    }
    ScriptedPeer peer;
    peer.ReadPdu()
        .Send(AcceptBytes(1, kImplicit))
        .Send(twoValues)
        .Send(oneByteValues)
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer));
    ElementList first, second, again, third;
    ASSERT_TRUE(ReadMessage(pdu, first));
    EXPECT_EQ(GetElementUS(first, 0x0000, kTagCommandField), kCEchoRSP);
    EXPECT_EQ(std::string(first[1].vr), "US");  // VRs of implicit data from the dictionary
    ASSERT_TRUE(ReadMessage(pdu, second));
    EXPECT_EQ(GetElementText(second, 0x0010, 0x0020), "ID42");
    ASSERT_TRUE(ReadMessage(pdu, again));
    ASSERT_TRUE(ReadMessage(pdu, third));
    EXPECT_EQ(GetElementText(third, 0x0010, 0x0020), "ID42");
    ReleaseAssociation(pdu);
    peer.Finish();
}

TEST(Association, HostilePeersMakeEveryCallFailCleanly) {
    Bytes command = EchoResponse(3, 0);
    Bytes lyingPdv = PData(1, 0x03, command);
    lyingPdv[9] = 0xFF;  // the value claims more than its PDU holds
    Bytes tinyPdv = PData(1, 0x03, command);
    tinyPdv[6] = tinyPdv[7] = tinyPdv[8] = 0;
    tinyPdv[9] = 1;  // a value shorter than its context ID and control byte
    Bytes hugePdu = {0x04, 0, 0x7F, 0xFF, 0xFF, 0xFF};
    Bytes elementPastUnit = command;
    elementPastUnit[4 + 4] = 0xFF;  // group length element claims 0x000000FF + ... bytes
    elementPastUnit[4] = 0x00;
    elementPastUnit[6] = 0x00;
    elementPastUnit[7] = 0x10;  // length 0x10000000 for the first element
    Bytes halfPdu(lyingPdv.begin(), lyingPdv.begin() + 20);
    Bytes unexpectedType = {0x09, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    Bytes garbage(64, 0xEE);

    struct Scenario {
        std::string name;
        std::vector<Bytes> answers;
    };
    const std::vector<Scenario> scenarios = {
        {"garbage after the accept", {garbage}},
        {"value longer than its PDU", {lyingPdv}},
        {"value shorter than two bytes", {tinyPdv}},
        {"PDU over the maximum", {hugePdu}},
        {"element running past its unit", {PData(1, 0x03, elementPastUnit)}},
        {"abort in the middle of a message",
         {PData(1, 0x01, Bytes(command.begin(), command.begin() + 10)), kAbort}},
        {"close in the middle of a PDU", {halfPdu}},
        {"unknown PDU type", {unexpectedType}},
        {"release reply instead of a response", {kReleaseRP}},
    };
    for (const auto& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        ScriptedPeer peer;
        peer.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu();
        for (const auto& answer : scenario.answers) peer.Send(answer);
        peer.Close();
        peer.Start();
        PDU pdu(5);
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(OpenAgainst(pdu, peer));
        ASSERT_TRUE(WriteEchoRQ(pdu, kVerification));
        EXPECT_FALSE(ReadEchoRSP(pdu));
        EXPECT_FALSE(ReadEchoRSP(pdu));  // and nothing after it hangs or succeeds
        ReleaseAssociation(pdu);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
        peer.Finish();
    }
}

TEST(Association, MalformedAcceptsFailTheOpen) {
    Bytes longItem = AcceptBytes(1, kImplicit);
    longItem[76] = 0x7F;  // application context item longer than the PDU
    Bytes truncated = AcceptBytes(1, kImplicit);
    truncated.resize(40);
    Bytes reject = {0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1};
    for (const Bytes& answer : {longItem, truncated, reject, Bytes{0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0}}) {
        ScriptedPeer peer;
        peer.ReadPdu().Send(answer).Close();
        peer.Start();
        PDU pdu(5);
        EXPECT_FALSE(OpenAgainst(pdu, peer));
        EXPECT_FALSE(pdu.IsConnected());
        peer.Finish();
    }
}

TEST(Association, AReleaseRequestInsteadOfAResponseIsAnsweredAndReported) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().Send(kReleaseRQ).ReadPdu().Close();
    peer.Start();
    PDU pdu(5);
    ASSERT_TRUE(OpenAgainst(pdu, peer));
    ASSERT_TRUE(WriteEchoRQ(pdu, kVerification));
    EXPECT_FALSE(ReadEchoRSP(pdu));
    EXPECT_NE(LastFailure().find("released"), std::string::npos) << LastFailure();
    ReleaseAssociation(pdu);
    auto pdus = peer.Finish();
    ASSERT_GE(pdus.size(), 3u);
    EXPECT_EQ(pdus[2], kReleaseRP);  // the peer's release was answered
}
