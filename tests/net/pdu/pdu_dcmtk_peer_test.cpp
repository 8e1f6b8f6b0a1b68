// The association PDUs against a real peer: DCMTK's storescp on a free loopback port.
#include <gtest/gtest.h>

#include "net/pdu/pdu_control.h"
#include "net/pdu/pdu_records.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PeerProcess;
using testing_support::StartStorescp;
using testing_support::TempDir;

namespace {

AssociateRQ Request(const std::vector<std::string>& abstractSyntaxes) {
    AssociateRQ request;
    request.SetCalledAETitle("STORESCP");
    request.SetCallingAETitle("KESTRA          ");
    uint8_t id = 1;
    for (const std::string& syntax : abstractSyntaxes) {
        PresentationContextRQ& context = request.presentationContexts.emplace_back();
        context.contextID = id;
        id += 2;
        context.SetAbstractSyntax(syntax);
        context.AddTransferSyntax("1.2.840.10008.1.2");
    }
    request.userInformation.maxLength = 16384;
    request.userInformation.SetImplementationClassUID("1.2.826.0.1.3680043.2.7777.999");
    request.userInformation.SetImplementationVersionName("orvexStation");
    return request;
}

}  // namespace

TEST(AssociatePdus, StorescpAcceptsTheRequestAndReleases) {
    TempDir dir;
    PeerProcess storescp;
    int port = StartStorescp(storescp, dir.Path().string(), {"-aet", "STORESCP"});
    ASSERT_GT(port, 0);

    PduBuffer buffer(30);
    buffer.SetReadOrder(kBigEndian);
    buffer.SetWriteOrder(kBigEndian);
    ASSERT_TRUE(buffer.Transport().Connect("127.0.0.1", std::to_string(port)));
    // Verification is supported; the made-up SOP class is not.
    AssociateRQ request = Request({"1.2.840.10008.1.1", "1.2.3.999.1"});
    ASSERT_TRUE(request.Write(buffer));

    uint8_t type = 0;
    ASSERT_TRUE(buffer.ReadU8(type));
    ASSERT_EQ(type, pdu_type::kAssociateAC);
    AssociateAC accept;
    ASSERT_TRUE(accept.Read(buffer));
    EXPECT_EQ(accept.calledAETitle.substr(0, 8), "STORESCP");
    EXPECT_EQ(accept.callingAETitle.substr(0, 6), "KESTRA");
    EXPECT_EQ(accept.applicationContext.text, kApplicationContextName);
    ASSERT_EQ(accept.presentationContexts.size(), 2u);
    EXPECT_EQ(accept.presentationContexts[0].contextID, 1);
    EXPECT_EQ(accept.presentationContexts[0].result, 0);
    EXPECT_EQ(accept.presentationContexts[0].transferSyntax.text, "1.2.840.10008.1.2");
    EXPECT_EQ(accept.presentationContexts[1].contextID, 3);
    EXPECT_EQ(accept.presentationContexts[1].result, 3);  // abstract syntax not supported
    EXPECT_GT(accept.userInformation.maxLength, 0u);
    EXPECT_EQ(accept.userInformation.implementationClassUID.text.rfind("1.2.276.0.7230010", 0), 0u);

    ReleaseRQ release;
    ASSERT_TRUE(release.Write(buffer));
    ReleaseRP reply;
    ASSERT_TRUE(reply.ReadWithType(buffer));
    EXPECT_EQ(reply.pduType, pdu_type::kReleaseRP);
}

TEST(AssociatePdus, StorescpTakesAnAbort) {
    TempDir dir;
    PeerProcess storescp;
    int port = StartStorescp(storescp, dir.Path().string());
    ASSERT_GT(port, 0);

    PduBuffer buffer(30);
    buffer.SetReadOrder(kBigEndian);
    buffer.SetWriteOrder(kBigEndian);
    ASSERT_TRUE(buffer.Transport().Connect("127.0.0.1", std::to_string(port)));
    AssociateRQ request = Request({"1.2.840.10008.1.1"});
    ASSERT_TRUE(request.Write(buffer));
    AssociateAC accept;
    ASSERT_TRUE(accept.ReadWithType(buffer));
    EXPECT_EQ(accept.pduType, pdu_type::kAssociateAC);
    ASSERT_TRUE(AbortPDU().Write(buffer));
    // The peer drops the connection after an abort: the next read ends with the transport idle.
    uint8_t byte = 0;
    EXPECT_FALSE(buffer.ReadU8(byte));
    EXPECT_FALSE(buffer.Transport().IsConnected());
}
