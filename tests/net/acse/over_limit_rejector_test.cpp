// The rejector of connections over a server's limit: every request is answered with the
// A-ASSOCIATE-RJ bytes, however many wait at once and whatever the silent ones do.
#include "net/acse/over_limit_rejector.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "net/pdu/pdu_test_data.h"
#include "support/read_until_closed.h"

using namespace pella;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kOverLimitAnswer = {0x03, 0, 0, 0, 0, 4, 0, 2, 3, 2};

Bytes Request() {
    return pdu_test::Associate(
        0x01, "PELLA", "PEER",
        {pdu_test::ProposedContext(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"}), pdu_test::UserInfo()});
}

// One end of a connected pair, the other end handed to the rejector.
struct Peer {
    explicit Peer(OverLimitRejector& rejector) {
        int pair[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return;
        fd = pair[1];
        rejector.Add(SocketHandle(pair[0]));
    }
    ~Peer() {
        if (fd >= 0) ::close(fd);
    }
    bool Send(const Bytes& bytes) const {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Everything received until the rejector closes ("(open)" appended when it did not).
    Bytes ReadToEnd() const { return testing_support::ReadUntilClosed(fd); }
    int fd = -1;
};

}  // namespace

// Many requests at once, sent whole, in pieces or followed by more: each gets the answer and the
// connection closes; something that is not a request, or a lying length, gets nothing.
TEST(OverLimitRejector, AnswersEveryRequestAndNothingElse) {
    OverLimitRejector rejector(kOverLimitRejection, 5, 4096);
    ASSERT_TRUE(rejector.Start());
    const Bytes request = Request();
    Bytes withMore = request;
    withMore.insert(withMore.end(), {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0});
    Bytes lying = request;
    lying[2] = 0x7F;  // a length far past the PDU limit
    struct Case {
        const char* name;
        std::vector<Bytes> pieces;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"whole", {request}, kOverLimitAnswer},
        {"in pieces",
         {Bytes(request.begin(), request.begin() + 3), Bytes(request.begin() + 3, request.end())},
         kOverLimitAnswer},
        {"followed by more", {withMore}, kOverLimitAnswer},
        {"release request", {{0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0}}, {}},
        {"lying length", {lying}, {}},
    };
    constexpr std::size_t kEach = 40;
    std::vector<std::unique_ptr<Peer>> peers;
    for (std::size_t i = 0; i < kEach * cases.size(); ++i) peers.push_back(std::make_unique<Peer>(rejector));
    for (std::size_t i = 0; i < peers.size(); ++i)
        for (const Bytes& piece : cases[i % cases.size()].pieces) ASSERT_TRUE(peers[i]->Send(piece));
    for (std::size_t i = 0; i < peers.size(); ++i)
        EXPECT_EQ(peers[i]->ReadToEnd(), cases[i % cases.size()].expected) << cases[i % cases.size()].name;
    rejector.Stop();
}

// Full: the connection that has waited longest is closed unanswered to make room, and the
// newcomer's request is answered. Stop closes whatever still waits.
TEST(OverLimitRejector, WhenFullTheLongestWaitingMakesRoom) {
    OverLimitRejector rejector(kOverLimitRejection, 60, 3);
    ASSERT_TRUE(rejector.Start());
    std::vector<std::unique_ptr<Peer>> silent;
    for (int i = 0; i < 3; ++i) silent.push_back(std::make_unique<Peer>(rejector));
    Peer newcomer(rejector);
    ASSERT_TRUE(newcomer.Send(Request()));
    EXPECT_EQ(newcomer.ReadToEnd(), kOverLimitAnswer);
    EXPECT_EQ(silent[0]->ReadToEnd(), Bytes{});  // closed, well before its 60 s
    rejector.Stop();
    for (int i = 1; i < 3; ++i) EXPECT_EQ(silent[i]->ReadToEnd(), Bytes{});
    // Stopped: a connection handed over now is closed at once.
    Peer late(rejector);
    EXPECT_EQ(late.ReadToEnd(), Bytes{});
}

// A silent connection is closed unanswered once its wait is over.
TEST(OverLimitRejector, ASilentConnectionIsClosedAfterItsWait) {
    OverLimitRejector rejector(kOverLimitRejection, 1, 16);
    ASSERT_TRUE(rejector.Start());
    Peer silent(rejector);
    Peer answered(rejector);
    ASSERT_TRUE(answered.Send(Request()));
    EXPECT_EQ(answered.ReadToEnd(), kOverLimitAnswer);
    EXPECT_EQ(silent.ReadToEnd(), Bytes{});
}
