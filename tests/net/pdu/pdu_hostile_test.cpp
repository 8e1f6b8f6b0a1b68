// What a hostile or broken peer may send: truncated PDUs, lying lengths, over-long texts and
// garbage. Every reader must fail cleanly (or cut a text), never read past its PDU, never wait
// beyond the receive time-out and never buffer without bound.
#include <gtest/gtest.h>

#include <random>

#include "net/pdu/pdu_control.h"
#include "net/pdu/pdu_limits.h"
#include "net/pdu/pdu_records.h"
#include "pdu_test_data.h"
#include "support/pdu_pipe.h"

using namespace pella;
using namespace pdu_test;
using testing_support::PduPipe;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes EchoRQ() {
    return Associate(0x01, "ECHOSCP", "KESTRA          ",
                     {ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}), UserInfo()});
}

Bytes EchoAC() {
    return Associate(0x02, "ECHOSCP", "KESTRA          ",
                     {AnsweredContext(1, 0, "1.2.840.10008.1.2"), UserInfo()});
}

// Feeds the bytes, ends the feed and reads one record of type R with ReadWithType.
template <typename R>
bool ReadFed(const Bytes& bytes, R& record, int timeoutSeconds = 1) {
    PduPipe pipe(timeoutSeconds);
    pipe.Feed(bytes);
    pipe.EndFeed();
    return record.ReadWithType(pipe.buffer);
}

template <typename R>
bool ReadFed(const Bytes& bytes) {
    R record;
    return ReadFed(bytes, record);
}

// Replaces the big-endian u32 at `offset`.
Bytes WithU32(Bytes bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
    return bytes;
}

Bytes WithU16(Bytes bytes, std::size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(value);
    return bytes;
}

// Limits that hold for every record a reader accepted.
template <typename Record>
void ExpectWithinLimits(const Record& record) {
    EXPECT_LE(record.pduLength, kMaxPduLength);
    EXPECT_LE(record.calledAETitle.size(), kAETitleLength);
    EXPECT_LE(record.callingAETitle.size(), kAETitleLength);
    EXPECT_LE(record.applicationContext.text.size(), kMaxSubItemText);
    EXPECT_LE(record.presentationContexts.size(), kMaxPresentationContexts);
    EXPECT_LE(record.userInformation.implementationClassUID.text.size(), kMaxSubItemText);
    EXPECT_LE(record.userInformation.implementationVersionName.text.size(), kMaxSubItemText);
}

// Offsets inside EchoRQ().
constexpr std::size_t kPduLengthAt = 2;
constexpr std::size_t kContextAt = 99;    // the presentation-context item
constexpr std::size_t kAbstractAt = 107;  // its abstract-syntax sub-item
constexpr std::size_t kUserInfoAt = 149;

}  // namespace

TEST(HostilePdus, EveryTruncationFails) {
    for (const Bytes& whole : {EchoRQ(), EchoAC()}) {
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            Bytes part(whole.begin(), whole.begin() + static_cast<long>(cut));
            if (whole[0] == 0x01)
                EXPECT_FALSE(ReadFed<AssociateRQ>(part)) << cut;
            else
                EXPECT_FALSE(ReadFed<AssociateAC>(part)) << cut;
        }
        // The whole PDU does read: the failures above come from the cuts.
        if (whole[0] == 0x01)
            EXPECT_TRUE(ReadFed<AssociateRQ>(whole));
        else
            EXPECT_TRUE(ReadFed<AssociateAC>(whole));
    }
    for (std::size_t cut = 0; cut < 10; ++cut) {
        Bytes release{0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0};
        release.resize(cut);
        EXPECT_FALSE(ReadFed<ReleaseRP>(release));
        Bytes reject{0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1};
        reject.resize(cut);
        EXPECT_FALSE(ReadFed<AssociateRJ>(reject));
    }
}

TEST(HostilePdus, LyingPduLengthsAreRefusedWithoutBuffering) {
    for (uint32_t length : {0xFFFFFFFFu, kMaxPduLength + 1, 67u, 0u}) {
        PduPipe pipe;
        pipe.Feed(WithU32(EchoRQ(), kPduLengthAt, length));
        AssociateRQ request;
        EXPECT_FALSE(request.ReadWithType(pipe.buffer)) << length;
        // Refused from the header alone: no wait for the announced bytes, which would have
        // ended in a failed receive and a closed transport.
        EXPECT_TRUE(pipe.buffer.Transport().IsConnected()) << length;
        EXPECT_LE(pipe.buffer.InputAvailable(), EchoRQ().size()) << length;
    }
    // Longer than what follows, or shorter than its items.
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU32(EchoRQ(), kPduLengthAt, 205 + 100)));
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU32(EchoRQ(), kPduLengthAt, 205 - 10)));
    EXPECT_FALSE(ReadFed<ReleaseRQ>({0x05, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
    EXPECT_FALSE(ReadFed<ReleaseRQ>({0x05, 0, 0, 0, 0, 2, 0, 0}));
    EXPECT_FALSE(ReadFed<AssociateRJ>({0x03, 0, 0, 0, 0, 3, 0, 1, 1}));
    // A longer release still reads, and leaves the stream at the next PDU.
    PduPipe pipe;
    pipe.Feed({0x05, 0, 0, 0, 0, 6, 0, 0, 0, 0, 9, 9, 0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0});
    ReleaseRQ request;
    ReleaseRP reply;
    EXPECT_TRUE(request.ReadWithType(pipe.buffer));
    EXPECT_TRUE(reply.ReadWithType(pipe.buffer));
    EXPECT_EQ(reply.pduType, 0x06);
}

TEST(HostilePdus, ItemsMustFitTheirPduAndSubItemsTheirItem) {
    // Presentation-context item longer than the PDU.
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU16(EchoRQ(), kContextAt + 2, 0xFFFF)));
    // Abstract-syntax sub-item longer than its item.
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU16(EchoRQ(), kAbstractAt + 2, 200)));
    // Transfer-syntax sub-item shorter than it is: the rest no longer parses as sub-items.
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU16(EchoRQ(), kAbstractAt + 21 + 2, 16)));
    // Context item too short for its own fields.
    EXPECT_FALSE(ReadFed<AssociateRQ>(Associate(0x01, "A", "B", {Item(0x20, Bytes{1, 0}), UserInfo()})));
    // User-information item longer than the PDU, and a maximum-length sub-item of length 2.
    EXPECT_FALSE(ReadFed<AssociateRQ>(WithU16(EchoRQ(), kUserInfoAt + 2, 0x1000)));
    Bytes badMax = Item(0x50, Big().Byte(0x51).Byte(0).U16(2).U16(0x4000).Bytes());
    EXPECT_FALSE(ReadFed<AssociateRQ>(Associate(0x01, "A", "B", {badMax})));
    // A sub-item of the user information that runs past its item.
    Bytes longName = Item(0x50, Big().Raw(MaxLength(1)).Byte(0x55).Byte(0).U16(40).Text("short").Bytes());
    EXPECT_FALSE(ReadFed<AssociateRQ>(Associate(0x01, "A", "B", {longName})));
    // An answered context whose transfer syntax runs past it.
    Bytes badAnswer =
        Item(0x21, Big().Byte(1).Byte(0).Byte(0).Byte(0).Byte(0x40).Byte(0).U16(30).Text("1.2").Bytes());
    EXPECT_FALSE(ReadFed<AssociateAC>(Associate(0x02, "A", "B", {badAnswer})));
}

TEST(HostilePdus, OverLongTextsAreCut) {
    std::string longUid(100, '7');
    std::string longName(1000, 'n');
    Bytes info = Item(
        0x50,
        Big().Raw(MaxLength(1)).Raw(TextSubItem(0x52, longUid)).Raw(TextSubItem(0x55, longName)).Bytes());
    AssociateRQ request;
    ASSERT_TRUE(ReadFed(
        Associate(0x01, "SIXTEEN_CHARS_AE", "X", {ProposedContext(1, longUid, {longUid, "1.2"}), info}),
        request));
    EXPECT_EQ(request.calledAETitle, "SIXTEEN_CHARS_AE");
    EXPECT_EQ(request.callingAETitle, "X               ");
    ASSERT_EQ(request.presentationContexts.size(), 1u);
    EXPECT_EQ(request.presentationContexts[0].abstractSyntax.text, std::string(64, '7'));
    ASSERT_EQ(request.presentationContexts[0].transferSyntaxes.size(), 2u);
    EXPECT_EQ(request.presentationContexts[0].transferSyntaxes[1].text, "1.2");
    EXPECT_EQ(request.userInformation.implementationClassUID.text, std::string(64, '7'));
    EXPECT_EQ(request.userInformation.implementationVersionName.text, std::string(64, 'n'));
    ExpectWithinLimits(request);

    // A text that ends in a zero byte (a padded UID) ends there.
    AssociateAC accept;
    ASSERT_TRUE(ReadFed(
        Associate(0x02, "A", "B", {AnsweredContext(1, 0, std::string("1.2.840.10008.1.2\0", 18))}), accept));
    EXPECT_EQ(accept.presentationContexts[0].transferSyntax.text, "1.2.840.10008.1.2");

    // Texts set by callers are held to the same limits.
    PresentationContextRQ context;
    context.SetAbstractSyntax(longUid);
    EXPECT_EQ(context.abstractSyntax.text.size(), 64u);
    EXPECT_EQ(context.ComputeLength(), 4u + 4 + 4 + 64);
}

TEST(HostilePdus, UnknownItemsAndTooManyContexts) {
    Bytes unknown = Item(0x33, Bytes(10, 0xAA));
    EXPECT_FALSE(ReadFed<AssociateRQ>(Associate(0x01, "A", "B", {unknown, UserInfo()})));
    // A proposed context inside an answer is an unknown item too.
    EXPECT_FALSE(ReadFed<AssociateAC>(Associate(0x02, "A", "B", {ProposedContext(1, "1.2", {"1.2"})})));

    // An answer with an unknown item fails, but the rest of it is skipped: the next PDU reads.
    PduPipe pipe;
    pipe.Feed(Associate(0x02, "A", "B", {unknown, AnsweredContext(1, 0, "1.2"), UserInfo()}));
    pipe.Feed({0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0});
    AssociateAC accept;
    EXPECT_FALSE(accept.ReadWithType(pipe.buffer));
    ReleaseRP reply;
    EXPECT_TRUE(reply.ReadWithType(pipe.buffer));
    EXPECT_EQ(reply.pduType, 0x06);

    std::vector<Bytes> items;
    for (int i = 0; i < 128; ++i)
        items.push_back(ProposedContext(static_cast<uint8_t>(2 * i + 1), "1.2", {"1.2"}));
    AssociateRQ request;
    EXPECT_TRUE(ReadFed(Associate(0x01, "A", "B", items), request));
    EXPECT_EQ(request.presentationContexts.size(), 128u);
    items.push_back(ProposedContext(1, "1.2", {"1.2"}));
    EXPECT_FALSE(ReadFed<AssociateRQ>(Associate(0x01, "A", "B", items)));
}

TEST(HostilePdus, ASilentPeerCostsAtMostTheReceiveWait) {
    PduPipe pipe(1);
    Bytes rq = EchoRQ();
    pipe.Feed(Bytes(rq.begin(), rq.begin() + 80));  // announces 205 bytes, sends 80, stays open
    AssociateRQ request;
    EXPECT_FALSE(request.ReadWithType(pipe.buffer));
    EXPECT_FALSE(pipe.buffer.Transport().IsConnected());
}

TEST(HostilePdus, PresentationDataValueLengthsAreChecked) {
    PdvHeader header;
    {
        PduPipe pipe;
        pipe.Feed(Big().Byte(0).U32(0xFFFFFFFF).Bytes());
        uint32_t pending = 0;
        EXPECT_FALSE(ReadPDataLength(pipe.buffer, pending));
    }
    for (uint32_t itemLength : {0u, 1u, 11u, 0xFFFFFFFFu}) {
        PduPipe pipe;
        pipe.Feed(Big().U32(itemLength).Byte(1).Byte(3).Text("abcdefgh").Bytes());
        uint32_t pending = 14;  // room for a value of item length 10 at most
        EXPECT_FALSE(ReadPdvHeader(pipe.buffer, pending, header)) << itemLength;
    }
    PduPipe pipe;
    pipe.Feed(Big().U32(2).Byte(1).Byte(3).Bytes());
    uint32_t tooShort = 5;
    EXPECT_FALSE(ReadPdvHeader(pipe.buffer, tooShort, header));
    uint32_t exact = 6;
    ASSERT_TRUE(ReadPdvHeader(pipe.buffer, exact, header));
    EXPECT_EQ(header.FragmentLength(), 0u);
    EXPECT_EQ(exact, 0u);
}

TEST(HostilePdus, MutatedAndRandomBytesNeverBreakTheReaders) {
    std::mt19937 random(20240611);
    const Bytes seeds[2] = {EchoRQ(), EchoAC()};
    int accepted = 0, refused = 0;
    for (int round = 0; round < 600; ++round) {
        Bytes bytes = seeds[round % 2];
        if (round % 3 == 2) {  // pure garbage after a plausible type byte
            bytes.assign(std::uniform_int_distribution<std::size_t>(0, 300)(random), 0);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
            if (!bytes.empty()) bytes[0] = seeds[round % 2][0];
        } else {
            int flips = std::uniform_int_distribution<int>(1, 4)(random);
            for (int i = 0; i < flips; ++i)
                bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(random)] =
                    static_cast<uint8_t>(random());
            if (round % 5 == 0)
                bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size())(random));
        }
        bool ok;
        if (round % 2 == 0) {
            AssociateRQ request;
            ok = ReadFed(bytes, request);
            if (ok) ExpectWithinLimits(request);
        } else {
            AssociateAC accept;
            ok = ReadFed(bytes, accept);
            if (ok) ExpectWithinLimits(accept);
        }
        ReleaseRP reply;
        AssociateRJ reject;
        ReadFed(bytes, reply);
        ReadFed(bytes, reject);
        (ok ? accepted : refused)++;
    }
    // Both outcomes occur: single flips in text bytes still parse, broken lengths do not.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}
