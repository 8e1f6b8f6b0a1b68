#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "log/protocol_log.h"
#include "net/transport/address_resolution.h"
#include "net/transport/transport.h"
#include "support/log_file.h"
#include "support/loopback_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::LogSettingsGuard;
using testing_support::LoopbackPeer;
using testing_support::ReadText;
using testing_support::TempDir;

namespace {

// Sends back everything it receives until the other side closes.
void Echo(int socket, const std::atomic<bool>& stop) {
    uint8_t chunk[1024];
    while (!stop) {
        pollfd watch{socket, POLLIN, 0};
        if (::poll(&watch, 1, 100) <= 0) continue;
        ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n <= 0 || ::send(socket, chunk, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) return;
    }
}

// Stays silent and keeps the connection open until the other side closes it.
void Silent(int socket, const std::atomic<bool>& stop) {
    LoopbackPeer::DrainUntilClosed(socket, stop);
}

bool NoDelay(int socket) {
    int on = 0;
    socklen_t size = sizeof on;
    return getsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

uint32_t Loopback() {
    return htonl(INADDR_LOOPBACK);
}

}  // namespace

TEST(AddressResolution, LeadingNumberReadsLikeAtoi) {
    EXPECT_EQ(LeadingNumber("127.0.0.1"), 127);
    EXPECT_EQ(LeadingNumber("104abc"), 104);
    EXPECT_EQ(LeadingNumber("  42"), 42);
    EXPECT_EQ(LeadingNumber("-7x"), -7);
    EXPECT_EQ(LeadingNumber("localhost"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("4294967297"), 1);  // wraps instead of overflowing
}

TEST(AddressResolution, HostTexts) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), Loopback());
    EXPECT_EQ(ResolveHost("localhost"), Loopback());
    EXPECT_EQ(ResolveHost("0.0.0.0"), htonl(INADDR_ANY));
    // A leading non-zero number means a dotted address: never looked up, and not convertible.
    EXPECT_FALSE(ResolveHost("3dlab").has_value());
    EXPECT_FALSE(ResolveHost("").has_value());
    EXPECT_FALSE(ResolveHost("no-such-host.invalid").has_value());
    std::string longName(kMaxHostTextLength + 1, 'a');
    EXPECT_FALSE(ResolveHost(longName).has_value());
    EXPECT_FALSE(ResolveHost("1" + std::string(300, '1')).has_value());
}

TEST(AddressResolution, PortTexts) {
    EXPECT_EQ(ResolvePort("104abc"), 104);
    EXPECT_EQ(ResolvePort("104"), 104);
    EXPECT_EQ(ResolvePort("70000"), 70000 & 0xFFFF);  // the low 16 bits
    EXPECT_EQ(ResolvePort("http"), 80);               // a service name
    EXPECT_EQ(ResolvePort("acr-nema"), 104);
    EXPECT_FALSE(ResolvePort("0").has_value());      // looked up as a service, none exists
    EXPECT_FALSE(ResolvePort("65536").has_value());  // low 16 bits are 0
    EXPECT_FALSE(ResolvePort("no-such-service").has_value());
    EXPECT_FALSE(ResolvePort("").has_value());
}

TEST(TcpTransport, ConnectsByDottedAddressAndByName) {
    LoopbackPeer peer(Silent, 2);
    TcpTransport byAddress;
    EXPECT_TRUE(byAddress.Connect("127.0.0.1", peer.PortText()));
    EXPECT_TRUE(byAddress.IsConnected());
    EXPECT_EQ(byAddress.PeerAddress(), "127.0.0.1");
    SocketHandle connection = byAddress.TakeConnection();
    EXPECT_TRUE(NoDelay(connection.Get()));
    byAddress.Adopt(std::move(connection));
    byAddress.Close();
    EXPECT_FALSE(byAddress.IsConnected());

    TcpTransport byName;
    EXPECT_TRUE(byName.Connect("localhost", peer.PortText() + "xyz"));
    EXPECT_TRUE(byName.IsConnected());
}

TEST(TcpTransport, ConnectFailures) {
    LoopbackPeer peer(Silent);
    TcpTransport transport;
    EXPECT_FALSE(transport.Connect("3dlab", peer.PortText()));
    EXPECT_FALSE(transport.Connect(std::string(200, 'h'), peer.PortText()));
    EXPECT_FALSE(transport.Connect("127.0.0.1", "0"));
    EXPECT_FALSE(transport.Connect("127.0.0.1", "no-such-service"));
    EXPECT_FALSE(transport.IsConnected());

    // Nobody listens on a port that was just released.
    TcpTransport listener;
    ASSERT_TRUE(listener.ListenOnPort(0));
    std::string freePort = std::to_string(listener.BoundPort());
    listener.Close();
    EXPECT_FALSE(transport.Connect("127.0.0.1", freePort));
    EXPECT_EQ(transport.LastError(), ECONNREFUSED);

    // The transport stays usable after failures.
    EXPECT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));
}

TEST(TcpTransport, IdleTransportFailsAtOnce) {
    TcpTransport transport;
    uint8_t byte = 0;
    EXPECT_FALSE(transport.Send(&byte, 1));
    EXPECT_EQ(transport.Receive(&byte, 1), -1);
    EXPECT_FALSE(transport.Accept());
    EXPECT_EQ(transport.BoundPort(), 0);
    EXPECT_TRUE(transport.Close());
}

TEST(TcpTransport, SendReceiveRoundTrip) {
    LoopbackPeer peer(Echo);
    TcpTransport transport(5);
    ASSERT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));
    std::vector<uint8_t> block(100000);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(transport.Send(block.data(), block.size()));
    std::vector<uint8_t> back;
    uint8_t chunk[1024];
    while (back.size() < block.size()) {
        int n = transport.Receive(chunk, sizeof chunk);
        ASSERT_GT(n, 0);
        back.insert(back.end(), chunk, chunk + n);
    }
    EXPECT_EQ(back, block);
}

TEST(TcpTransport, ReceiveAfterPeerClosedLeavesItIdle) {
    LoopbackPeer peer([](int socket, const std::atomic<bool>&) { ::send(socket, "x", 1, MSG_NOSIGNAL); });
    TcpTransport transport;
    ASSERT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));
    uint8_t buffer[16];
    EXPECT_EQ(transport.Receive(buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(transport.Receive(buffer, sizeof buffer), -1);
    EXPECT_FALSE(transport.IsConnected());
    EXPECT_FALSE(transport.Send(buffer, 1));
}

TEST(TcpTransport, ReceiveTimeOutLeavesItIdle) {
    LoopbackPeer peer(Silent);
    TcpTransport transport(1);
    EXPECT_EQ(transport.TimeoutSeconds(), 1);
    ASSERT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));
    uint8_t buffer[16];
    EXPECT_EQ(transport.Receive(buffer, sizeof buffer), -1);
    EXPECT_FALSE(transport.IsConnected());
    EXPECT_EQ(transport.LastError(), ETIMEDOUT);
    EXPECT_EQ(TcpTransport().TimeoutSeconds(), kDefaultReceiveTimeoutSeconds);
}

TEST(TcpTransport, ListensAcceptsAndHandsTheConnectionOn) {
    TcpTransport server(5);
    ASSERT_TRUE(server.ListenOnPort(0));
    ASSERT_TRUE(server.IsListening());
    uint16_t port = server.BoundPort();
    ASSERT_NE(port, 0);

    TcpTransport client(5);
    ASSERT_TRUE(client.Connect("127.0.0.1", std::to_string(port)));
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.PeerAddress(), "127.0.0.1");

    SocketHandle accepted = server.TakeConnection();
    EXPECT_TRUE(NoDelay(accepted.Get()));
    TcpTransport association(5);
    association.Adopt(std::move(accepted));
    EXPECT_FALSE(server.IsConnected());
    EXPECT_TRUE(server.IsListening());
    ASSERT_TRUE(association.IsConnected());

    const uint8_t ping[4] = {'p', 'i', 'n', 'g'};
    ASSERT_TRUE(client.Send(ping, sizeof ping));
    uint8_t buffer[8];
    int n = association.Receive(buffer, sizeof buffer);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "ping");
    ASSERT_TRUE(association.Send(buffer, 4));
    EXPECT_EQ(client.Receive(buffer, sizeof buffer), 4);

    // A server restarts on its port while a connection it accepted is still open.
    server.Close();
    TcpTransport restarted;
    EXPECT_TRUE(restarted.Listen(std::to_string(port)));
    EXPECT_EQ(restarted.BoundPort(), port);
    // A second listener on a port in use is refused.
    TcpTransport second;
    EXPECT_FALSE(second.Listen(std::to_string(port)));
    EXPECT_EQ(second.LastError(), EADDRINUSE);
}

TEST(TcpTransport, HexDumpsBlocksAtLevelThree) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string log = dir.File("transport.log");
    LoopbackPeer peer(Echo);
    TcpTransport transport(5);
    ASSERT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));

    SetLogSettings(2, log);
    const uint8_t release[10] = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    ASSERT_TRUE(transport.Send(release, sizeof release));
    uint8_t buffer[16];
    ASSERT_EQ(transport.Receive(buffer, sizeof buffer), 10);
    EXPECT_EQ(ReadText(log), "");  // below level 3 nothing is dumped

    SetLogSettings(3, log);
    const uint8_t text[3] = {'A', 'B', 'C'};
    ASSERT_TRUE(transport.Send(text, sizeof text));
    ASSERT_EQ(transport.Receive(buffer, sizeof buffer), 3);
    EXPECT_EQ(ReadText(log),
              "     3 >> 41 42 43 \r\nABC\r\n\r\n"
              "     3 << 41 42 43 \r\nABC\r\n\r\n");
}

// A listener whose accept queue is full drops further connection attempts: the connect waits
// the time limit and says so, instead of the system's minutes of retries.
TEST(TcpTransport, ConnectEndsAtTheTimeLimit) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t size = sizeof local;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size), 0);
    std::string port = std::to_string(ntohs(local.sin_port));
    // Fill the queue (never accepted) until a connect no longer completes.
    std::vector<std::unique_ptr<TcpTransport>> queued;
    bool full = false;
    for (int i = 0; i < 8 && !full; ++i) {
        queued.push_back(std::make_unique<TcpTransport>(1));
        full = !queued.back()->Connect("127.0.0.1", port);
    }
    ::close(listener);
    ASSERT_TRUE(full);
    EXPECT_TRUE(queued.back()->TimedOut());
    EXPECT_EQ(queued.back()->FailureText(), "no connection within 1 s");
}

// A deadline that has passed ends a receive at once, even with data waiting: a peer sending
// without pause cannot stretch a response past it.
TEST(TcpTransport, PassedDeadlineEndsReceivesWhateverIsWaiting) {
    LoopbackPeer peer(Echo);
    TcpTransport transport(30);
    ASSERT_TRUE(transport.Connect("127.0.0.1", peer.PortText()));
    uint8_t bytes[4] = {1, 2, 3, 4};
    ASSERT_TRUE(transport.Send(bytes, sizeof bytes));
    uint8_t back[4] = {};
    ASSERT_EQ(transport.Receive(back, 2), 2);  // data flows while no deadline is set
    transport.SetDeadline(std::chrono::steady_clock::now() - std::chrono::seconds(1));
    EXPECT_EQ(transport.Receive(back, 2), -1);
    EXPECT_TRUE(transport.TimedOut());
    EXPECT_EQ(transport.FailureText(), "no response from the peer within 30 s");
    EXPECT_FALSE(transport.IsConnected());
}
