// Conformance of the message exchange with the standard, through the real storage server and
// DCMTK's tools: responses on their request's context, refusals and rejections with their
// codes, aborts with their source and reason, and units that say what they are.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "log/protocol_log.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"
#include "net/pdu/pdu_test_data.h"
#include "services/storage/store_server.h"
#include "services/verification/echo.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr const char* kVerification = "1.2.840.10008.1.1";
constexpr const char* kMrImage = "1.2.840.10008.5.1.4.1.1.4";
constexpr const char* kImplicit = "1.2.840.10008.1.2";
constexpr const char* kExplicit = "1.2.840.10008.1.2.1";
constexpr const char* kBigEndianUid = "1.2.840.10008.1.2.2";
const Bytes kOwnAbort = {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0};

// A storage server for one test, with its own title and called-title rule.
struct Server {
    explicit Server(const TempDir& dir, bool requireCalledAETitle = false) {
        StoreServerConfig config;
        config.port = "0";
        config.storageFolder = dir.File("db");
        config.databaseRoot = dir.File("db");
        config.receiveTimeoutSeconds = 10;
        config.aeTitle = "PELLA";
        config.requireCalledAETitle = requireCalledAETitle;
        config.allStorageClasses = false;  // the original table: RT classes are refused
        server = std::make_unique<StoreServer>(config);
        started = server->Start();
        port = std::to_string(server->Port());
    }
    std::unique_ptr<StoreServer> server;
    bool started = false;
    std::string port;
};

int StoredFiles(const TempDir& dir) {
    int count = 0;
    std::error_code ec;
    if (!fs::exists(dir.File("db"))) return 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.File("db"), ec))
        if (entry.path().extension() == ".dcm") ++count;
    return count;
}

bool Open(PDU& pdu, const std::string& port, const std::vector<ProposedContext>& contexts,
          const std::string& called = "PELLA") {
    std::string calling = "TESTER";
    return BuildRequest(pdu, calling, called, contexts) && RequestAssociation(pdu, "127.0.0.1", port);
}

bool SendRaw(PDU& pdu, const Bytes& bytes) {
    pdu.buffer.WriteBytes(bytes.data(), bytes.size());
    return pdu.buffer.Flush();
}

// The next whole PDU the other side sends; empty when the connection ends first.
Bytes NextPdu(PDU& pdu) {
    Bytes header(6);
    if (!pdu.buffer.ReadBytes(header.data(), 6)) return {};
    uint32_t length =
        (uint32_t{header[2]} << 24) | (uint32_t{header[3]} << 16) | (uint32_t{header[4]} << 8) | header[5];
    if (length > 65536) return {};
    Bytes body(length);
    if (!pdu.buffer.ReadBytes(body.data(), length)) return {};
    header.insert(header.end(), body.begin(), body.end());
    return header;
}

Bytes EchoCommandBytes(uint16_t messageID) {
    DimseCommand echo;
    echo.commandField = kCEchoRQ;
    echo.affectedSopClass = kVerification;
    echo.messageID = messageID;
    return SerializeList(EncodeCommand(echo), false, false);
}

}  // namespace

// Verification proposed twice (the first context refused: big endian only) and MR twice: each
// response comes on its request's context and names its message ID.
TEST(DimseConformance, ResponsesGoOnTheRequestsContextWithItsMessageID) {
    TempDir dir;
    Server running(dir);
    ASSERT_TRUE(running.started);
    PDU pdu(10);
    ASSERT_TRUE(Open(pdu, running.port,
                     {{kVerification, {kBigEndianUid}},
                      {kVerification, {kImplicit}},
                      {kMrImage, {kImplicit}},
                      {kMrImage, {kExplicit}}}));
    ASSERT_EQ(pdu.accept.presentationContexts[0].result, 4);

    DimseCommand echo;
    echo.commandField = kCEchoRQ;
    echo.affectedSopClass = kVerification;
    ASSERT_TRUE(SendRequest(pdu, 3, echo));
    ReceivedCommand response;
    ASSERT_TRUE(ReadCommand(pdu, response)) << LastFailure();
    EXPECT_EQ(response.contextID, 3);
    EXPECT_EQ(response.command.commandField, kCEchoRSP);
    EXPECT_EQ(response.command.respondedTo, echo.messageID);
    EXPECT_EQ(response.command.status, 0);

    ElementList data;
    std::string syntax;
    ASSERT_TRUE(ReadDatasetAndSyntax(PydicomFile("MR_small.dcm"), data, syntax));
    ASSERT_EQ(syntax, kExplicit);
    DimseCommand store;
    store.commandField = kCStoreRQ;
    store.affectedSopClass = kMrImage;
    store.priority = 0;
    store.affectedSopInstance = GetElementText(data, 0x0008, 0x0018);
    ASSERT_TRUE(SendRequest(pdu, 7, store, &data));
    ASSERT_TRUE(ReadCommand(pdu, response)) << LastFailure();
    EXPECT_EQ(response.contextID, 7);
    EXPECT_EQ(response.command.commandField, kCStoreRSP);
    EXPECT_EQ(response.command.respondedTo, store.messageID);
    EXPECT_NE(store.messageID, echo.messageID);
    EXPECT_EQ(response.command.status, 0);
    ReleaseAssociation(pdu);
    EXPECT_EQ(StoredFiles(dir), 1);
}

// DCMTK's storescu proposing the class in several contexts, each way it can: every object is
// answered with status 0 and filed, no abort.
TEST(DimseConformance, StorescuWithContextsProposedTwiceIsAnsweredOnTheRightOne) {
    TempDir dir;
    Server running(dir);
    ASSERT_TRUE(running.started);
    for (const char* option : {"-xr", "-xs", "-xe", "-xb"}) {
        CommandResult result = RunCommand({"env", "TCP_NODELAY=1", "storescu", option, "-aec", "PELLA",
                                           "127.0.0.1", running.port, PydicomFile("MR_small.dcm")},
                                          true);
        EXPECT_EQ(result.exitCode, 0) << option << "\n" << result.out;
        EXPECT_EQ(result.out.find("Abort"), std::string::npos) << option << "\n" << result.out;
    }
    EXPECT_EQ(StoredFiles(dir), 1);  // the same object each time
}

// A-ASSOCIATE-RJ, result 1 (permanent), source 1 (service user), with its reason.
TEST(DimseConformance, RejectionsCarryTheirReason) {
    TempDir dir;
    Server running(dir, true);
    ASSERT_TRUE(running.started);
    struct Case {
        const char* what;
        std::function<void(AssociateRQ&)> change;
        uint8_t reason;
    };
    const Case cases[] = {
        {"called title not ours", [](AssociateRQ& rq) { rq.SetCalledAETitle("SOMEONE"); }, 7},
        {"unknown application context", [](AssociateRQ& rq) { rq.SetApplicationContext("1.2.3"); }, 2},
        {"missing application context", [](AssociateRQ& rq) { rq.SetApplicationContext(""); }, 2},
        {"no presentation context", [](AssociateRQ& rq) { rq.presentationContexts.clear(); }, 1},
    };
    for (const Case& c : cases) {
        PDU pdu(10);
        std::string calling = "TESTER";
        ASSERT_TRUE(BuildRequest(pdu, calling, "PELLA", {{kVerification, {kImplicit}}}));
        pdu.request.userInformation.maxLength = kOurMaxPduLength;
        pdu.request.userInformation.SetImplementationClassUID("1.2.3");
        c.change(pdu.request);
        ASSERT_TRUE(pdu.buffer.Transport().Connect("127.0.0.1", running.port));
        ASSERT_TRUE(pdu.request.Write(pdu.buffer));
        EXPECT_EQ(NextPdu(pdu), (Bytes{0x03, 0, 0, 0, 0, 4, 0, 1, 1, c.reason})) << c.what;
    }
    // The right title is accepted, padded with spaces (as sent) or with NUL bytes (as some
    // requesters send it).
    PDU pdu(10);
    EXPECT_TRUE(Open(pdu, running.port, {{kVerification, {kImplicit}}}));
    ReleaseAssociation(pdu);
    PDU raw(10);
    ASSERT_TRUE(raw.buffer.Transport().Connect("127.0.0.1", running.port));
    ASSERT_TRUE(SendRaw(raw, pdu_test::Associate(0x01, std::string("PELLA").append(11, '\0'), "TESTER",
                                                 {pdu_test::ProposedContext(1, kVerification, {kImplicit}),
                                                  pdu_test::UserInfo()})));
    Bytes answer = NextPdu(raw);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer[0], 0x02) << "a NUL-padded called title is ours too";
    AbortAssociation(raw);
}

// DCMTK's tools print the refusal and the rejection with the reasons they were sent.
TEST(DimseConformance, DcmtkToolsSeeTheRefusalAndTheRejection) {
    TempDir dir;
    Server running(dir, true);
    ASSERT_TRUE(running.started);
    CommandResult wrongTitle =
        RunCommand({"env", "TCP_NODELAY=1", "echoscu", "-aec", "WRONG", "127.0.0.1", running.port}, true);
    EXPECT_NE(wrongTitle.exitCode, 0);
    EXPECT_NE(wrongTitle.out.find("Called AE Title Not Recognized"), std::string::npos) << wrongTitle.out;
    EXPECT_NE(wrongTitle.out.find("Rejected Permanent, Source: Service User"), std::string::npos)
        << wrongTitle.out;
    CommandResult storeWrong = RunCommand({"env", "TCP_NODELAY=1", "storescu", "-aec", "WRONG", "127.0.0.1",
                                           running.port, PydicomFile("CT_small.dcm")},
                                          true);
    EXPECT_NE(storeWrong.out.find("Called AE Title Not Recognized"), std::string::npos) << storeWrong.out;
    // RT Dose is not served: its only context is refused (abstract syntax not supported).
    CommandResult unknownClass = RunCommand({"env", "TCP_NODELAY=1", "storescu", "-aec", "PELLA", "127.0.0.1",
                                             running.port, PydicomFile("rtdose.dcm")},
                                            true);
    EXPECT_NE(unknownClass.exitCode, 0);
    EXPECT_NE(unknownClass.out.find("No presentation context for: (RD)"), std::string::npos)
        << unknownClass.out;
    PDU pdu(10);
    EXPECT_FALSE(Open(pdu, running.port, {{"1.2.840.10008.5.1.4.1.1.481.2", {kImplicit}}}));
    EXPECT_NE(LastFailure().find("refused: abstract syntax not supported"), std::string::npos)
        << LastFailure();
    EXPECT_EQ(StoredFiles(dir), 0);
}

// Units that do not say what they are, or stray from their command's context, end the
// association with an A-ABORT of the server's own (source 0, reason 0); nothing is answered
// or filed.
TEST(DimseConformance, MisflaggedUnitsAreAbortedByTheServer) {
    TempDir dir;
    Server running(dir);
    ASSERT_TRUE(running.started);
    ElementList data;
    std::string syntax;
    ASSERT_TRUE(ReadDatasetAndSyntax(PydicomFile("MR_small.dcm"), data, syntax));
    Bytes dataBytes = SerializeList(data, true, false);
    DimseCommand store;
    store.commandField = kCStoreRQ;
    store.affectedSopClass = kMrImage;
    store.messageID = 1;
    store.priority = 0;
    store.dataSetType = kDataSetFollows;
    store.affectedSopInstance = GetElementText(data, 0x0008, 0x0018);
    Bytes storeBytes = SerializeList(EncodeCommand(store), false, false);
    Bytes commandHalf(storeBytes.begin(), storeBytes.begin() + 20);
    Bytes restAsData(storeBytes.begin() + 20, storeBytes.end());

    struct Case {
        const char* what;
        std::vector<Bytes> pdus;
    };
    const Case cases[] = {
        {"C-ECHO-RQ flagged as a data set", {PData(1, 0x02, EchoCommandBytes(1))}},
        {"data set flagged as a command", {PData(3, 0x03, storeBytes), PData(3, 0x03, dataBytes)}},
        {"data set on another context", {PData(3, 0x03, storeBytes), PData(5, 0x02, dataBytes)}},
        {"command fragments flagged apart", {PData(3, 0x01, commandHalf), PData(3, 0x02, restAsData)}},
        {"command fragments on two contexts", {PData(3, 0x01, commandHalf), PData(5, 0x03, restAsData)}},
    };
    for (const Case& c : cases) {
        PDU pdu(10);
        ASSERT_TRUE(Open(pdu, running.port,
                         {{kVerification, {kImplicit}}, {kMrImage, {kExplicit}}, {kMrImage, {kImplicit}}}));
        for (const Bytes& p : c.pdus) SendRaw(pdu, p);
        EXPECT_EQ(NextPdu(pdu), kOwnAbort) << c.what;
    }
    EXPECT_EQ(StoredFiles(dir), 0);
    // The server goes on.
    std::string calling;
    EXPECT_TRUE(EchoSCU("127.0.0.1", running.port, calling, "PELLA"));
}

// The requestor's aborts: protocol errors are source 2 with their reason, its own decisions
// source 0, reason 0; a received abort is reported in words.
TEST(DimseConformance, RequestorAbortsWithSourceAndReason) {
    Bytes echoResponse = EchoResponseCommand(0);
    Bytes lying = PData(1, 0x03, echoResponse);
    lying[9] = 0xFF;  // the value claims more than its PDU holds
    const Bytes kAssociateRQ = {0x01, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    struct Case {
        const char* what;
        Bytes answer;
        Bytes abort;  // empty: none expected
        const char* reason;
    };
    const Case cases[] = {
        {"unknown PDU type",
         {0x09, 0, 0, 0, 0, 2, 0, 0},
         {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 1},
         "Unrecognized PDU type 9"},
        {"A-ASSOCIATE-RQ mid-association",
         kAssociateRQ,
         {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2},
         "Unexpected PDU type 1"},
        {"lying value length", lying, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 6}, "Malformed presentation data value"},
        {"response flagged as a data set", PData(1, 0x02, echoResponse), kOwnAbort,
         "where a command was due"},
        {"response without Status", PData(1, 0x03, EchoResponseCommand(0, 1, false)), kOwnAbort,
         "without Status"},
        {"peer aborts",
         {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 1},
         {},
         "A-ABORT received: source 2 (service provider), reason 1 (unrecognized PDU)"},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().Send(c.answer);
        if (!c.abort.empty()) peer.ReadPdu();
        peer.WaitForClose();
        peer.Start();
        std::string calling;
        EXPECT_FALSE(EchoSCU("127.0.0.1", peer.PortText(), calling, "ANY-SCP")) << c.what;
        EXPECT_NE(LastFailure().find(c.reason), std::string::npos) << c.what << ": " << LastFailure();
        auto pdus = peer.Finish();
        if (c.abort.empty()) {
            EXPECT_EQ(pdus.size(), 2u) << c.what;  // nothing after the request
        } else {
            ASSERT_EQ(pdus.size(), 3u) << c.what;
            EXPECT_EQ(pdus[2], c.abort) << c.what;
        }
    }
}

// A requestor answered with anything but an A-ASSOCIATE-AC, -RJ or A-ABORT (or with an AC it
// cannot read) aborts as the transition table says (source 2, with the reason), and the open
// fails; an answer that accepts nothing is aborted by the requestor itself (source 0).
TEST(DimseConformance, ARequestorAnsweredOutOfPlaceAborts) {
    Bytes malformedAC = AcceptBytes(1, kImplicit);
    malformedAC[76] = 0x7F;  // the application context item runs past the PDU
    const Bytes echoRQ =
        pdu_test::Associate(0x01, "ANY-SCP", "TESTER",
                            {pdu_test::ProposedContext(1, kVerification, {kImplicit}), pdu_test::UserInfo()});
    struct Case {
        const char* what;
        Bytes answer;
        Bytes abort;  // empty: none
    };
    const Case cases[] = {
        {"A-ASSOCIATE-RQ", echoRQ, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2}},
        {"P-DATA-TF", PData(1, 0x03, Bytes(8, 0)), {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2}},
        {"A-RELEASE-RQ", {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0}, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2}},
        {"A-RELEASE-RP", {0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0}, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2}},
        {"unknown PDU type", {0x0A, 0, 0, 0, 0, 4, 0, 0, 0, 0}, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 1}},
        {"unreadable A-ASSOCIATE-AC", malformedAC, {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 6}},
        {"A-ASSOCIATE-AC refusing every context",
         AcceptBytes(1, kImplicit, 4),
         {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0}},
        {"A-ASSOCIATE-RJ", {0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1}, {}},
        {"A-ABORT", {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer;
        peer.ReadPdu().Send(c.answer);
        if (!c.abort.empty()) peer.ReadPdu();
        peer.WaitForClose();
        peer.Start();
        PDU pdu(5);
        std::string calling = "TESTER";
        EXPECT_FALSE(
            pella::OpenAssoc(pdu, "127.0.0.1", peer.PortText(), calling, "ANY-SCP", kVerification, ""));
        EXPECT_FALSE(pdu.IsConnected());
        EXPECT_EQ(pdu.ulState, UlState::kSta1);
        std::vector<Bytes> received = peer.Finish();
        ASSERT_EQ(received.size(), c.abort.empty() ? 1u : 2u);
        if (!c.abort.empty()) {
            EXPECT_EQ(received[1], c.abort);
        }
    }
}

// Message IDs are counted per association: two open at once both start at 1 and neither
// disturbs the other's count.
TEST(DimseConformance, MessageIDsAreCountedPerAssociation) {
    ScriptedPeer first, second;
    first.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().ReadPdu().Send(kReleaseRP);
    second.ReadPdu().Send(AcceptBytes(1, kImplicit)).ReadPdu().Send(kReleaseRP);
    first.Start();
    PDU a(5);
    std::string calling;
    ASSERT_TRUE(pella::OpenAssoc(a, "127.0.0.1", first.PortText(), calling, "ANY", kVerification, ""));
    ASSERT_TRUE(WriteEchoRQ(a, kVerification));
    ScriptedPeer& bPeer = second;
    bPeer.Start();
    PDU b(5);
    ASSERT_TRUE(pella::OpenAssoc(b, "127.0.0.1", bPeer.PortText(), calling, "ANY", kVerification, ""));
    ASSERT_TRUE(WriteEchoRQ(b, kVerification));
    ASSERT_TRUE(WriteEchoRQ(a, kVerification));
    ReleaseAssociation(a);
    ReleaseAssociation(b);
    auto fromA = first.Finish();
    auto fromB = bPeer.Finish();
    ASSERT_GE(fromA.size(), 3u);
    ASSERT_GE(fromB.size(), 2u);
    auto messageID = [](const Bytes& pdata) {
        ElementList list;
        ParseState state;
        state.metaMode = false;
        state.explicitVR = false;
        ReadDatasetBytes(pdata.data() + 12, pdata.size() - 12, state, list);
        return GetElementUS(list, 0x0000, kTagMessageID);
    };
    EXPECT_EQ(messageID(fromA[1]), 1);
    EXPECT_EQ(messageID(fromB[1]), 1);
    EXPECT_EQ(messageID(fromA[2]), 2);
}
