// The exported association functions as a C host calls them.
#include <gtest/gtest.h>

#include <cstring>

#include "pella.h"
#include "support/log_file.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace testing_support;

TEST(AssociationApi, CallerDrivenEchoAndReleaseOnDelete) {
    ScriptedPeer peer;
    Bytes response = EchoResponseCommand(0);
    peer.ReadPdu()
        .Send(AcceptBytes(1, "1.2.840.10008.1.2"))
        .ReadPdu()
        .Send(PData(1, 3, response))
        .ReadPdu()
        .Send(kReleaseRP);
    peer.Start();
    PDU* pdu = NewPDU();
    ASSERT_NE(pdu, nullptr);
    char calling[17] = "";
    ASSERT_EQ(OpenAssoc(pdu, "127.0.0.1", peer.PortText().c_str(), calling, "ANY-SCP", "1.2.840.10008.1.1",
                        nullptr),
              1);
    EXPECT_STREQ(calling, "KESTRA          ");
    EXPECT_EQ(WriteEchoRQ(pdu, "1.2.840.10008.1.1"), 1);
    EXPECT_EQ(ReadEchoRSP(pdu), 1);
    DeletePDU(pdu);  // still open: released first
    auto pdus = peer.Finish();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[2], Bytes({0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0}));
}

TEST(AssociationApi, NullHandlesAndClosedHandlesAreSafe) {
    DeletePDU(nullptr);
    EXPECT_EQ(CloseAssoc(nullptr), 1);
    EXPECT_EQ(WriteEchoRQ(nullptr, "1.2.840.10008.1.1"), 0);
    EXPECT_EQ(ReadEchoRSP(nullptr), 0);
    PDU* pdu = NewPDU();
    EXPECT_EQ(CloseAssoc(pdu), 1);  // never opened
    EXPECT_EQ(ReadEchoRSP(pdu), 0);
    EXPECT_EQ(WriteEchoRQ(pdu, "1.2.840.10008.1.1"), 0);
    DeletePDU(pdu);
}

TEST(AssociationApi, SetLogKeepsTheFileOnAnEmptyNameAndVersionIsEmpty) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string file = dir.File("api.log");
    SetLOG(file.c_str(), 1);
    SetLOG("", 3);  // level raised, file kept
    char calling[17] = "ME";
    EXPECT_EQ(EchoSCU("127.0.0.1", "0", calling, "YOU"), 0);  // port 0: looked up, no service
    std::string text = ReadText(file);
    EXPECT_NE(text.find("Connection to 127.0.0.1:0"), std::string::npos);

    char reason[8];
    int32_t full = LastFailureText(reason, sizeof reason);
    EXPECT_GT(full, 7);
    EXPECT_EQ(std::strlen(reason), 7u);  // cut to the buffer

    char version[PELLA_VERSION_BUFFER_SIZE];
    Version(version);
    EXPECT_STREQ(version, PELLA_VERSION);
}

// Over-long texts from a host are cut to what the wire holds, never copied past a field, and
// the caller's title buffer is left alone when it holds a title; NULL texts read as empty.
TEST(AssociationApi, OverLongAndNullTextsAreCutOrRefused) {
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, "1.2.840.10008.1.2")).ReadPdu().Send(kReleaseRP);
    peer.Start();
    std::string longCalling(40, 'C'), longCalled(40, 'D');
    std::string longUid = "1.2";
    while (longUid.size() < 100) longUid += ".9";
    std::vector<char> calling(longCalling.begin(), longCalling.end());
    calling.push_back('\0');
    PDU* pdu = NewPDU();
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(OpenAssoc(pdu, "127.0.0.1", peer.PortText().c_str(), calling.data(), longCalled.c_str(),
                        longUid.c_str(), longUid.c_str()),
              1);
    EXPECT_EQ(std::string(calling.data()), longCalling);
    DeletePDU(pdu);
    auto pdus = peer.Finish();
    ASSERT_GE(pdus.size(), 1u);
    const Bytes& request = pdus[0];
    ASSERT_GT(request.size(), 74u);
    EXPECT_EQ(std::string(request.begin() + 10, request.begin() + 26), std::string(16, 'D'));
    EXPECT_EQ(std::string(request.begin() + 26, request.begin() + 42), std::string(16, 'C'));
    // Every text sub-item of the presentation context holds at most 64 characters.
    std::size_t at = 74 + 4 + 21;  // fixed part, then the application context item
    ASSERT_EQ(request[at], 0x20);
    std::size_t end = at + 4 + (std::size_t{request[at + 2]} << 8 | request[at + 3]);
    for (std::size_t sub = at + 8; sub + 4 <= end;) {
        std::size_t length = std::size_t{request[sub + 2]} << 8 | request[sub + 3];
        EXPECT_LE(length, 64u);
        sub += 4 + length;
    }

    char title[17] = "";
    std::string longHost(300, 'h');
    EXPECT_EQ(EchoSCU(longHost.c_str(), "104", title, "ANY"), 0);
    EXPECT_EQ(EchoSCU(nullptr, "104", title, nullptr), 0);
    EXPECT_EQ(EchoSCU("127.0.0.1", std::string(200, '9').c_str(), nullptr, "ANY"), 0);
    PDU* unused = NewPDU();
    EXPECT_EQ(OpenAssoc(unused, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    DeletePDU(unused);
}
