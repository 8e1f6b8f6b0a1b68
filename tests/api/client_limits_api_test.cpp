// The limits of the library's own associations (SetClientLimits) against scripted peers: one
// that never answers, one whose response data set never ends, one that never stops sending
// pending responses, and A-ASSOCIATE-ACs that accept what was never proposed. Every client call
// fails with a reason that says what happened.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pella.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"

using namespace testing_support;

namespace {

constexpr const char* kHost = "127.0.0.1";

std::string Reason() {
    char text[512];
    LastFailureText(text, sizeof text);
    return text;
}

// One client operation against host:port; returns the failure reason, or "" on success.
struct Operation {
    const char* name;
    const char* sopClass;    // the class its responses name
    uint16_t responseField;  // the command field of its responses
    std::function<std::string(const std::string& port)> run;
};

std::string RunFind(const std::string& port) {
    QueryRecordList* list = NewQueryRecordList();
    AppendQueryRecord(list, NewQueryRecord("STUDY"));
    char calling[17] = "";
    bool ok = FindSCU(kHost, port.c_str(), calling, "ANY-SCP", "STUDY", list) == 1;
    std::string reason = ok ? "" : Reason();
    FreeQueryRecordList(list, "STUDY");
    return reason;
}

std::string RunMove(const std::string& port) {
    QueryRecordList* list = NewQueryRecordList();
    AppendQueryRecord(list, NewQueryRecord("STUDY"));
    char calling[17] = "";
    bool ok = MoveSCU(kHost, port.c_str(), calling, "ANY-SCP", "ELSEWHERE", "STUDY", list) == 1;
    std::string reason = ok ? "" : Reason();
    FreeQueryRecordList(list, "STUDY");
    return reason;
}

std::string RunWorklist(const std::string& port) {
    PDU* pdu = NewPDU();
    char calling[17] = "";
    void* record = NewQueryRecord("WORKLIST");
    std::string reason;
    if (!OpenAssoc(pdu, kHost, port.c_str(), calling, "ANY-SCP", PELLA_MODALITY_WORKLIST_FIND, nullptr))
        reason = Reason();
    else if (FindEach(pdu, record, PELLA_MODALITY_WORKLIST_FIND, "WORKLIST", nullptr, nullptr) != 0)
        reason = Reason();
    DeletePDU(pdu);
    FreeQueryRecord(record, "WORKLIST");
    return reason;
}

const std::vector<Operation>& Queries() {
    static const std::vector<Operation> queries = {
        {"find", PELLA_STUDY_ROOT_FIND, 0x8020, RunFind},
        {"worklist", PELLA_MODALITY_WORKLIST_FIND, 0x8020, RunWorklist},
        {"move", PELLA_STUDY_ROOT_MOVE, 0x8021, RunMove},
    };
    return queries;
}

std::vector<Operation> EveryOperation() {
    std::vector<Operation> all = {
        {"echo", PELLA_VERIFICATION, 0x8030,
         [](const std::string& port) {
             char calling[17] = "";
             return EchoSCU(kHost, port.c_str(), calling, "ANY-SCP") ? std::string() : Reason();
         }},
        {"store", "", 0x8001,
         [](const std::string& port) {
             char calling[17] = "";
             return StoreSCU(kHost, port.c_str(), calling, "ANY-SCP", PydicomFile("CT_small.dcm").c_str(),
                             nullptr, 0)
                        ? std::string()
                        : Reason();
         }},
        {"print", "", 0x8110,
         [](const std::string& port) {
             char calling[17] = "";
             return PrintSCU(PydicomFile("CT_small.dcm").c_str(), kHost, port.c_str(), calling, "ANY-SCP",
                             nullptr, nullptr)
                        ? std::string()
                        : Reason();
         }},
    };
    all.insert(all.end(), Queries().begin(), Queries().end());
    return all;
}

// A pending response without identifier, answering message 1 on context 1.
Bytes PendingResponse(const Operation& query, uint16_t dataSetType = 0x0101) {
    return PData(1, 0x03, ResponseCommand(query.sopClass, query.responseField, 0xFF00, 1, true, dataSetType));
}

class ClientLimitsTest : public ::testing::Test {
protected:
    void SetUp() override { Limit(1, 50); }
    void TearDown() override { SetClientLimits(nullptr); }
    static void Limit(int32_t seconds, int32_t maxResults) {
        ClientLimits limits{sizeof(ClientLimits), seconds, maxResults, 0};
        SetClientLimits(&limits);
    }
};

}  // namespace

TEST_F(ClientLimitsTest, PeerThatNeverAnswersTheAssociation) {
    for (const Operation& operation : EveryOperation()) {
        SCOPED_TRACE(operation.name);
        ScriptedPeer peer;
        peer.WaitForClose().Start();
        std::string reason = operation.run(peer.PortText());
        EXPECT_NE(reason.find("No answer to the A-ASSOCIATE-RQ"), std::string::npos) << reason;
        EXPECT_NE(reason.find("no response from the peer within 1 s"), std::string::npos) << reason;
    }
}

TEST_F(ClientLimitsTest, PeerThatNeverAnswersARequest) {
    for (const Operation& operation : EveryOperation()) {
        SCOPED_TRACE(operation.name);
        ScriptedPeer peer;
        peer.AcceptProposed().WaitForClose().Start();
        std::string reason = operation.run(peer.PortText());
        EXPECT_NE(reason.find("no response from the peer within 1 s"), std::string::npos) << reason;
        EXPECT_EQ(reason.find("Connection lost"), std::string::npos) << reason;
    }
}

TEST_F(ClientLimitsTest, ResponseDataSetThatNeverEnds) {
    // 17 MiB of data set fragments, none of them the last: past the 16 MiB cap.
    Bytes fragment(16000, 0x20);
    for (const Operation& query : Queries()) {
        SCOPED_TRACE(query.name);
        Bytes endless = PendingResponse(query, 0x0000);
        for (int i = 0; i < 17 * 1024 * 1024 / 16000 + 1; ++i) {
            Bytes piece = PData(1, 0x00, fragment);
            endless.insert(endless.end(), piece.begin(), piece.end());
        }
        ScriptedPeer peer;
        peer.AcceptProposed().ReadPdu().ReadPdu().Send(endless).WaitForClose().Start();
        std::string reason = query.run(peer.PortText());
        EXPECT_NE(reason.find("Data set larger than 16777216 bytes"), std::string::npos) << reason;
    }
}

TEST_F(ClientLimitsTest, PendingResponsesEndAtTheLimit) {
    for (const Operation& query : Queries()) {
        SCOPED_TRACE(query.name);
        // 50 pending responses and the final one are taken; 60 without end are not.
        for (int pendings : {50, 60}) {
            Bytes responses;
            for (int i = 0; i < pendings; ++i) {
                Bytes one = PendingResponse(query);
                responses.insert(responses.end(), one.begin(), one.end());
            }
            Bytes final = PData(1, 0x03, ResponseCommand(query.sopClass, query.responseField, 0x0000));
            if (pendings == 50) responses.insert(responses.end(), final.begin(), final.end());
            ScriptedPeer peer;
            peer.AcceptProposed().ReadPdu().ReadPdu().Send(responses);
            if (pendings == 50) peer.ReadPdu().Send(kReleaseRP);
            peer.WaitForClose().Start();
            std::string reason = query.run(peer.PortText());
            if (pendings == 50)
                EXPECT_EQ(reason, "");
            else
                EXPECT_NE(reason.find("More than 50 pending responses"), std::string::npos) << reason;
        }
    }
}

TEST_F(ClientLimitsTest, AcceptanceOfWhatWasNeverProposedIsAborted) {
    // The echo proposes context 1 with implicit VR little endian only.
    struct Case {
        AnsweredContext answer;
        const char* says;  // empty: accepted
    };
    const Case cases[] = {
        {{1, "1.2.840.10008.1.2"}, ""},
        {{1, "1.2.840.10008.1.2.4.50"},
         "with transfer syntax \"1.2.840.10008.1.2.4.50\", which was not proposed"},
        {{1, "1.2.840.10008.1.2.1"}, "which was not proposed"},
        {{3, "1.2.840.10008.1.2"}, "presentation context 3, which was never proposed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.syntax + " on " + std::to_string(c.answer.id));
        ScriptedPeer peer;
        peer.ReadPdu().Send(AcceptContextsBytes({c.answer})).ReadPdu().Start();
        PDU* pdu = NewPDU();
        char calling[17] = "";
        bool opened =
            OpenAssoc(pdu, kHost, peer.PortText().c_str(), calling, "ANY-SCP", PELLA_VERIFICATION, nullptr);
        std::string reason = Reason();
        if (opened) {
            // Let the peer's last read see the release request.
            CloseAssoc(pdu);
        }
        DeletePDU(pdu);
        std::vector<Bytes> received = peer.Finish();
        ASSERT_EQ(received.size(), 2u);
        if (c.says[0] == '\0') {
            EXPECT_TRUE(opened) << reason;
            EXPECT_EQ(received[1][0], 0x05);  // A-RELEASE-RQ
            continue;
        }
        EXPECT_FALSE(opened);
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        // A-ABORT from the provider side, reason 6 (invalid PDU parameter value).
        ASSERT_EQ(received[1].size(), 10u);
        EXPECT_EQ(received[1][0], 0x07);
        EXPECT_EQ(received[1][8], 2);
        EXPECT_EQ(received[1][9], 6);
    }
}
