#include <gtest/gtest.h>

#include "log/protocol_log.h"
#include "net/pdu/pdu_control.h"
#include "net/pdu/pdu_records.h"
#include "pdu_test_data.h"
#include "support/log_file.h"
#include "support/pdu_pipe.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace pdu_test;
using testing_support::LogSettingsGuard;
using testing_support::PduPipe;
using testing_support::ReadText;
using testing_support::TempDir;
using Bytes = std::vector<uint8_t>;

namespace {

// The request a C-ECHO sends with the default calling title.
AssociateRQ EchoRequest() {
    AssociateRQ request;
    request.SetCalledAETitle("ECHOSCP");
    request.SetCallingAETitle("KESTRA          ");
    PresentationContextRQ& context = request.presentationContexts.emplace_back();
    context.contextID = 1;
    context.SetAbstractSyntax("1.2.840.10008.1.1");
    context.AddTransferSyntax("1.2.840.10008.1.2");
    request.userInformation.maxLength = 16384;
    request.userInformation.SetImplementationClassUID("1.2.826.0.1.3680043.2.7777.999");
    request.userInformation.SetImplementationVersionName("orvexStation");
    return request;
}

// The counts of the blocks a hex-dumped log shows, in order.
std::vector<int> DumpedBlockSizes(const std::string& file) {
    std::string all = ReadText(file);
    // Each block starts a line with its count in six columns and " >> ".
    std::vector<int> sizes;
    for (std::size_t at = all.find(" >> "); at != std::string::npos; at = all.find(" >> ", at + 1)) {
        if (at < 6) continue;
        sizes.push_back(std::stoi(all.substr(at - 6, 6)));
    }
    return sizes;
}

}  // namespace

TEST(AssociatePdus, EchoRequestIsWrittenByteForByte) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string log = dir.File("rq.log");
    PduPipe pipe;
    AssociateRQ request = EchoRequest();
    SetLogSettings(3, log);
    ASSERT_TRUE(request.Write(pipe.buffer));
    SetLogSettings(0, "");
    EXPECT_EQ(request.pduLength, 205u);
    EXPECT_EQ(request.presentationContexts[0].itemLength, 46);
    EXPECT_EQ(request.userInformation.itemLength, 58);

    Bytes expected = Associate(0x01, "ECHOSCP", "KESTRA          ",
                               {ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}), UserInfo()});
    Bytes sent = pipe.Sent();
    ASSERT_EQ(sent.size(), 211u);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 10), (Bytes{0x01, 0, 0, 0, 0, 0xCD, 0, 1, 0, 0}));
    EXPECT_EQ(Bytes(sent.begin() + 74, sent.begin() + 78), (Bytes{0x10, 0, 0, 0x15}));
    // Both titles are padded with spaces, never NUL bytes.
    EXPECT_EQ(std::string(sent.begin() + 10, sent.begin() + 42), "ECHOSCP         KESTRA          ");
    // The whole PDU leaves in one send.
    EXPECT_EQ(DumpedBlockSizes(log), (std::vector<int>{211}));
}

TEST(AssociatePdus, RequestReadsBackWhatWasWritten) {
    PduPipe pipe;
    AssociateRQ request = EchoRequest();
    request.presentationContexts[0].AddTransferSyntax("1.2.840.10008.1.2.1");
    PresentationContextRQ& second = request.presentationContexts.emplace_back();
    second.contextID = 3;
    second.SetAbstractSyntax("1.2.840.10008.5.1.4.1.1.2");
    second.AddTransferSyntax("1.2.840.10008.1.2.4.70");
    ASSERT_TRUE(request.Write(pipe.buffer));
    pipe.Feed(pipe.Sent());

    AssociateRQ read;
    ASSERT_TRUE(read.ReadWithType(pipe.buffer));
    EXPECT_EQ(read.pduType, 0x01);
    EXPECT_EQ(read.pduLength, request.pduLength);
    EXPECT_EQ(read.calledAETitle, "ECHOSCP         ");  // padding spaces are kept
    EXPECT_EQ(read.callingAETitle, "KESTRA          ");
    EXPECT_EQ(read.applicationContext.text, "1.2.840.10008.3.1.1.1");
    ASSERT_EQ(read.presentationContexts.size(), 2u);
    EXPECT_EQ(read.presentationContexts[0].contextID, 1);
    EXPECT_EQ(read.presentationContexts[0].abstractSyntax.text, "1.2.840.10008.1.1");
    ASSERT_EQ(read.presentationContexts[0].transferSyntaxes.size(), 2u);
    EXPECT_EQ(read.presentationContexts[0].transferSyntaxes[1].text, "1.2.840.10008.1.2.1");
    EXPECT_EQ(read.presentationContexts[1].contextID, 3);
    EXPECT_EQ(read.presentationContexts[1].transferSyntaxes[0].text, "1.2.840.10008.1.2.4.70");
    EXPECT_EQ(read.userInformation.maxLength, 16384u);
    EXPECT_EQ(read.userInformation.implementationClassUID.text, "1.2.826.0.1.3680043.2.7777.999");
    EXPECT_EQ(read.userInformation.implementationVersionName.text, "orvexStation");

    // Written back, the read record gives the same bytes.
    PduPipe again;
    ASSERT_TRUE(read.Write(again.buffer));
    AssociateRQ original = request;
    PduPipe first;
    ASSERT_TRUE(original.Write(first.buffer));
    EXPECT_EQ(again.Sent(), first.Sent());
}

TEST(AssociatePdus, AcceptWithAnsweredContexts) {
    PduPipe pipe;
    AssociateAC accept;
    accept.SetCalledAETitle("ECHOSCP");
    accept.SetCallingAETitle("A_CALLING_TITLE_THAT_IS_TOO_LONG");
    EXPECT_EQ(accept.callingAETitle, "A_CALLING_TITLE_");
    PresentationContextAC& ok = accept.presentationContexts.emplace_back();
    ok.contextID = 1;
    ok.SetAbstractSyntax("1.2.840.10008.1.1");  // never written
    ok.SetTransferSyntax("1.2.840.10008.1.2");
    PresentationContextAC& refused = accept.presentationContexts.emplace_back();
    refused.contextID = 3;
    refused.result = 3;
    accept.userInformation.maxLength = 32768;
    accept.userInformation.SetImplementationClassUID("1.2.3.4");
    ASSERT_TRUE(accept.Write(pipe.buffer));

    Bytes expected =
        Associate(0x02, "ECHOSCP", "A_CALLING_TITLE_",
                  {AnsweredContext(1, 0, "1.2.840.10008.1.2"), AnsweredContext(3, 3, ""),
                   Item(0x50, Big().Raw(MaxLength(32768)).Raw(TextSubItem(0x52, "1.2.3.4")).Bytes())});
    Bytes sent = pipe.Sent();
    EXPECT_EQ(sent, expected);

    // An empty version name is neither counted nor written.
    EXPECT_EQ(accept.userInformation.itemLength, 8 + 4 + 7);

    pipe.Feed(sent);
    AssociateAC read;
    ASSERT_TRUE(read.ReadWithType(pipe.buffer));
    ASSERT_EQ(read.presentationContexts.size(), 2u);
    EXPECT_EQ(read.presentationContexts[0].result, 0);
    EXPECT_EQ(read.presentationContexts[0].transferSyntax.text, "1.2.840.10008.1.2");
    EXPECT_EQ(read.presentationContexts[1].result, 3);
    EXPECT_EQ(read.presentationContexts[1].transferSyntax.text, "");  // sub-item of length 0
    EXPECT_EQ(read.userInformation.maxLength, 32768u);
    EXPECT_TRUE(read.userInformation.implementationVersionName.text.empty());
}

TEST(AssociatePdus, UnknownUserInformationSubItemsAreSkipped) {
    // The asynchronous operations window (0x53) is not read; a user identity item (0x58) is, even
    // without the secondary field's length.
    const Bytes asyncWindow = Big().Byte(0x53).Byte(0).U16(4).U16(1).U16(1).Bytes();
    const Bytes identity = Big().Byte(0x58).Byte(0).U16(6).Byte(1).Byte(0).U16(2).Text("me").Bytes();
    // Unknown sub-item after the known ones: all of them are kept.
    Bytes after = Item(0x50, Big()
                                 .Raw(MaxLength(1000))
                                 .Raw(TextSubItem(0x52, "1.2.3"))
                                 .Raw(TextSubItem(0x55, "PEER"))
                                 .Raw(asyncWindow)
                                 .Bytes());
    // Unknown sub-items first and between: each is skipped by its own length and the known
    // ones after them are still read.
    Bytes before = Item(0x50, Big()
                                  .Raw(MaxLength(2000))
                                  .Raw(asyncWindow)
                                  .Raw(TextSubItem(0x52, "1.2.3"))
                                  .Raw(identity)
                                  .Raw(TextSubItem(0x55, "LATER"))
                                  .Bytes());

    PduPipe pipe;
    pipe.Feed(Associate(0x01, "SCP", "SCU",
                        {ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}), after}));
    pipe.Feed(Associate(0x01, "SCP", "SCU",
                        {before, ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"})}));
    AssociateRQ first, second;
    ASSERT_TRUE(first.ReadWithType(pipe.buffer));
    EXPECT_EQ(first.userInformation.maxLength, 1000u);
    EXPECT_EQ(first.userInformation.implementationClassUID.text, "1.2.3");
    EXPECT_EQ(first.userInformation.implementationVersionName.text, "PEER");
    EXPECT_EQ(first.userInformation.skippedLength, asyncWindow.size());
    ASSERT_TRUE(second.ReadWithType(pipe.buffer));
    EXPECT_EQ(second.userInformation.maxLength, 2000u);
    EXPECT_EQ(second.userInformation.implementationClassUID.text, "1.2.3");
    EXPECT_EQ(second.userInformation.implementationVersionName.text, "LATER");
    EXPECT_EQ(second.userInformation.skippedLength, asyncWindow.size());
    ASSERT_TRUE(second.userInformation.identity.has_value());
    EXPECT_EQ(*second.userInformation.identity, (UserIdentity{1, 0, "me", ""}));
    EXPECT_EQ(second.presentationContexts.size(), 1u);  // items after the user information still count
}

// Role selection sub-items: read from a request as the bytes stand, written back byte for byte;
// one whose UID length disagrees with its item length fails the request.
TEST(AssociatePdus, RoleSelectionItemsAreReadAndWritten) {
    const std::string ct = "1.2.840.10008.5.1.4.1.1.2";
    const Bytes ctRole = Big()
                             .Byte(0x54)
                             .Byte(0)
                             .U16(static_cast<uint16_t>(ct.size() + 4))
                             .U16(static_cast<uint16_t>(ct.size()))
                             .Text(ct)
                             .Byte(0)
                             .Byte(1)
                             .Bytes();
    const Bytes mrRole = Big().Byte(0x54).Byte(0).U16(8).U16(4).Text("1.23").Byte(1).Byte(1).Bytes();
    Bytes info = Item(0x50, Big()
                                .Raw(MaxLength(4096))
                                .Raw(TextSubItem(0x52, "1.2.3"))
                                .Raw(ctRole)
                                .Raw(mrRole)
                                .Raw(TextSubItem(0x55, "PEER"))
                                .Bytes());
    PduPipe pipe;
    pipe.Feed(Associate(0x01, "SCP", "SCU", {ProposedContext(1, ct, {"1.2.840.10008.1.2"}), info}));
    AssociateRQ read;
    ASSERT_TRUE(read.ReadWithType(pipe.buffer));
    ASSERT_EQ(read.userInformation.roles.size(), 2u);
    EXPECT_EQ(read.userInformation.roles[0], (RoleSelection{ct, 0, 1}));
    EXPECT_EQ(read.userInformation.roles[1], (RoleSelection{"1.23", 1, 1}));
    EXPECT_EQ(read.userInformation.skippedLength, 0u);

    // Written back: the same sub-items, between the class UID and the version name.
    PduPipe written;
    ASSERT_TRUE(read.userInformation.Write(written.buffer));
    ASSERT_TRUE(written.buffer.Flush());
    EXPECT_EQ(written.Sent(), info);

    // A UID length that overruns its item fails the whole request.
    Bytes broken = ctRole;
    broken[5] = static_cast<uint8_t>(ct.size() + 1);
    PduPipe bad;
    bad.Feed(Associate(0x01, "SCP", "SCU",
                       {ProposedContext(1, ct, {"1.2.840.10008.1.2"}),
                        Item(0x50, Big().Raw(MaxLength(4096)).Raw(broken).Bytes())}));
    AssociateRQ refused;
    EXPECT_FALSE(refused.ReadWithType(bad.buffer));
}

// User identity: the request's sub-item (username and passcode, positive response asked for) and
// the answer's server response, read as the bytes stand and written back byte for byte; a field
// length past the sub-item's end fails the PDU.
TEST(AssociatePdus, UserIdentityItemsAreReadAndWritten) {
    const Bytes asked =
        Big().Byte(0x58).Byte(0).U16(17).Byte(2).Byte(1).U16(5).Text("alice").U16(6).Text("s3cret").Bytes();
    const Bytes answered = Big().Byte(0x59).Byte(0).U16(2).U16(0).Bytes();
    struct Case {
        Bytes info;
        std::optional<UserIdentity> identity;
        std::optional<std::string> response;
    };
    const Case cases[] = {
        {Item(0x50, Big().Raw(MaxLength(4096)).Raw(TextSubItem(0x52, "1.2.3")).Raw(asked).Bytes()),
         UserIdentity{2, 1, "alice", "s3cret"}, std::nullopt},
        {Item(0x50, Big().Raw(MaxLength(4096)).Raw(TextSubItem(0x52, "1.2.3")).Raw(answered).Bytes()),
         std::nullopt, std::string()},
    };
    for (const Case& c : cases) {
        PduPipe pipe;
        pipe.Feed(Associate(0x01, "SCP", "SCU",
                            {ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}), c.info}));
        AssociateRQ read;
        ASSERT_TRUE(read.ReadWithType(pipe.buffer));
        EXPECT_EQ(read.userInformation.identity, c.identity);
        EXPECT_EQ(read.userInformation.identityResponse, c.response);
        EXPECT_EQ(read.userInformation.skippedLength, 0u);
        PduPipe written;
        ASSERT_TRUE(read.userInformation.Write(written.buffer));
        ASSERT_TRUE(written.buffer.Flush());
        EXPECT_EQ(written.Sent(), c.info);
    }
    Bytes broken = asked;
    broken[7] = 0x40;  // a username of 64 bytes in a sub-item of 17
    PduPipe bad;
    bad.Feed(Associate(0x01, "SCP", "SCU",
                       {ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}),
                        Item(0x50, Big().Raw(MaxLength(4096)).Raw(broken).Bytes())}));
    AssociateRQ refused;
    EXPECT_FALSE(refused.ReadWithType(bad.buffer));
}

TEST(AssociatePdus, RejectIsRead) {
    PduPipe pipe;
    pipe.Feed({0x03, 0, 0, 0, 0, 4, 0, 2, 1, 7});
    AssociateRJ reject;
    EXPECT_EQ(reject.result, 1);
    EXPECT_EQ(reject.source, 3);
    ASSERT_TRUE(reject.ReadWithType(pipe.buffer));
    EXPECT_EQ(reject.pduType, 0x03);
    EXPECT_EQ(reject.result, 2);
    EXPECT_EQ(reject.source, 1);
    EXPECT_EQ(reject.reason, 7);
}

TEST(ControlPdus, ReleaseAndAbortAreTheTenBytes) {
    PduPipe pipe;
    ReleaseRQ releaseRequest;
    ReleaseRP releaseReply;
    AbortPDU abort;
    ASSERT_TRUE(releaseRequest.Write(pipe.buffer));
    EXPECT_EQ(pipe.Sent(), (Bytes{0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0}));
    ASSERT_TRUE(releaseReply.Write(pipe.buffer));
    EXPECT_EQ(pipe.Sent(), (Bytes{0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0}));
    // An abort of our own: source 0 (service user), reason 0; a protocol error: source 2.
    ASSERT_TRUE(abort.Write(pipe.buffer));
    EXPECT_EQ(pipe.Sent(), (Bytes{0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0}));
    abort.source = abort_source::kServiceProvider;
    abort.reason = abort_reason::kUnexpectedPdu;
    ASSERT_TRUE(abort.Write(pipe.buffer));
    EXPECT_EQ(pipe.Sent(), (Bytes{0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2}));

    // Release PDUs read back; the reply's type is stored, not checked.
    pipe.Feed({0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0x07, 0, 0, 0, 0, 4, 0, 0, 2, 0});
    uint8_t type = 0;
    ASSERT_TRUE(pipe.buffer.ReadU8(type));
    EXPECT_EQ(type, 0x05);
    ReleaseRQ readRequest;
    ASSERT_TRUE(readRequest.Read(pipe.buffer));
    ReleaseRP readReply;
    ASSERT_TRUE(readReply.ReadWithType(pipe.buffer));
    EXPECT_EQ(readReply.pduType, 0x07);
    EXPECT_EQ(readReply.reserved2, 0x0200u);
}

TEST(ControlPdus, PDataFraming) {
    PduPipe pipe;
    // The C-ECHO-RQ command of 68 bytes as one last command fragment on context 1.
    ASSERT_TRUE(WritePDataHeader(pipe.buffer, 1, kPdvCommand | kPdvLastFragment, 68));
    ASSERT_TRUE(pipe.buffer.Flush());
    EXPECT_EQ(pipe.Sent(), (Bytes{0x04, 0, 0, 0, 0, 0x4A, 0, 0, 0, 0x46, 0x01, 0x03}));
    EXPECT_FALSE(WritePDataHeader(pipe.buffer, 1, 0, 0xFFFFFFF0u));

    // A PDU with two values: a command and a data set.
    pipe.Feed(Big()
                  .Byte(0)
                  .U32(6 + 3 + 6 + 1)
                  .U32(5)
                  .Byte(1)
                  .Byte(3)
                  .Text("abc")
                  .U32(3)
                  .Byte(1)
                  .Byte(2)
                  .Text("d")
                  .Bytes());
    uint32_t pending = 0;
    ASSERT_TRUE(ReadPDataLength(pipe.buffer, pending));
    EXPECT_EQ(pending, 16u);
    PdvHeader header;
    ASSERT_TRUE(ReadPdvHeader(pipe.buffer, pending, header));
    EXPECT_EQ(header.FragmentLength(), 3u);
    EXPECT_TRUE(header.IsCommand());
    EXPECT_TRUE(header.IsLast());
    EXPECT_EQ(pending, 7u);
    ASSERT_TRUE(pipe.buffer.Skip(header.FragmentLength()));
    ASSERT_TRUE(ReadPdvHeader(pipe.buffer, pending, header));
    EXPECT_FALSE(header.IsCommand());
    EXPECT_EQ(header.FragmentLength(), 1u);
    EXPECT_EQ(pending, 0u);
}
