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
    Bytes response;  // C-ECHO-RSP, status 0, as implicit VR little endian
    for (uint8_t b : {0, 0, 0, 0, 4, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0x30, 0x80})
        response.push_back(b);
    peer.ReadPdu().Send(AcceptBytes(1, "1.2.840.10008.1.2")).ReadPdu().Send(PData(1, 3, response))
        .ReadPdu().Send(kReleaseRP);
    peer.Start();
    PDU* pdu = NewPDU();
    ASSERT_NE(pdu, nullptr);
    char calling[17] = "";
    ASSERT_EQ(OpenAssoc(pdu, "127.0.0.1", peer.PortText().c_str(), calling, "ANY-SCP",
                        "1.2.840.10008.1.1", nullptr), 1);
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

    char version[4] = "xyz";
    Version(version);
    EXPECT_STREQ(version, "");
}
