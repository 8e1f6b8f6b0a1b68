// Deadlines of the transport: bytes that keep trickling in, each well within the wait of one
// receive, cannot keep a receive going past a deadline.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "net/transport/transport.h"

using namespace pella;

namespace {

constexpr int kTrickledBytes = 40;  // 8 s at one byte every 200 ms, against a 1 s deadline

// Writes one byte every 200 ms until kTrickledBytes went or the other side closed; returns what
// came back.
std::vector<uint8_t> Trickle(int socket, int& sent) {
    std::vector<uint8_t> back;
    for (sent = 0; sent < kTrickledBytes; ++sent) {
        uint8_t byte = 0x42;
        if (::send(socket, &byte, 1, MSG_NOSIGNAL) != 1) break;
        pollfd watch{socket, POLLIN, 0};
        if (::poll(&watch, 1, 200) <= 0) continue;
        uint8_t chunk[64];
        ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        back.insert(back.end(), chunk, chunk + n);
    }
    return back;
}

}  // namespace

TEST(TransportDeadline, ATrickleCannotStretchADeadline) {
    enum class Bound { kWholeExchange, kUnitBegun };
    for (Bound bound : {Bound::kWholeExchange, Bound::kUnitBegun}) {
        SCOPED_TRACE(bound == Bound::kWholeExchange ? "SetDeadline" : "BeginUnit");
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        TcpTransport transport(1);
        transport.Adopt(SocketHandle(pair[0]));
        if (bound == Bound::kWholeExchange)
            transport.SetDeadline(TcpTransport::Clock::now() + std::chrono::seconds(1));
        else
            transport.BeginUnit();

        int sent = 0;
        std::vector<uint8_t> back;
        std::thread peer([&] { back = Trickle(pair[1], sent); });
        int received = 0;
        uint8_t byte = 0;
        while (transport.Receive(&byte, 1) == 1) ++received;
        peer.join();
        ::close(pair[1]);

        EXPECT_FALSE(transport.IsConnected());
        EXPECT_LT(sent, kTrickledBytes) << "the trickle ran to its end";
        EXPECT_LE(received, sent);
        // The peer is told with an A-ABORT, as a silent one is.
        EXPECT_EQ(back, (std::vector<uint8_t>{0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0}));
    }
}

// Lifting the deadlines gives back the plain wait: a peer that sends within it is read.
TEST(TransportDeadline, LiftedDeadlinesLeaveTheWaitPerReceive) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    TcpTransport transport(5);
    transport.Adopt(SocketHandle(pair[0]));
    transport.SetDeadline(TcpTransport::Clock::now() - std::chrono::seconds(1));
    transport.BeginUnit();
    transport.SetDeadline(std::nullopt);
    transport.EndUnit();
    const uint8_t sent[3] = {1, 2, 3};
    ASSERT_EQ(::send(pair[1], sent, sizeof sent, MSG_NOSIGNAL), 3);
    uint8_t got[3] = {};
    EXPECT_EQ(transport.Receive(got, sizeof got), 3);
    EXPECT_TRUE(transport.IsConnected());
    ::close(pair[1]);
}

// A deadline already past fails the receive even when data is waiting.
TEST(TransportDeadline, APassedDeadlineFailsEvenWithDataWaiting) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    TcpTransport transport(5);
    transport.Adopt(SocketHandle(pair[0]));
    const uint8_t sent[3] = {1, 2, 3};
    ASSERT_EQ(::send(pair[1], sent, sizeof sent, MSG_NOSIGNAL), 3);
    transport.SetDeadline(TcpTransport::Clock::now() - std::chrono::milliseconds(1));
    uint8_t got[3] = {};
    EXPECT_EQ(transport.Receive(got, sizeof got), -1);
    EXPECT_FALSE(transport.IsConnected());
    ::close(pair[1]);
}
