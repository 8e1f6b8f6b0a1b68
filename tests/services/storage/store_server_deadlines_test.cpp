// The storage server against peers that trickle and peers that crowd it: a request or a PDU
// sent a byte at a time is dropped at its time-out however steadily the bytes come, and every
// connection over the limit gets its A-ASSOCIATE-RJ, a hundred at once.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "net/acse/association.h"
#include "net/pdu/pdu_test_data.h"
#include "services/storage/store_server.h"
#include "support/loopback_listener.h"
#include "support/read_until_closed.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

constexpr const char* kVerification = "1.2.840.10008.1.1";
constexpr const char* kImplicit = "1.2.840.10008.1.2";
const Bytes kOverLimitAnswer = {0x03, 0, 0, 0, 0, 4, 0, 2, 3, 2};
constexpr int kTimeoutSeconds = 2;
// One byte every 400 ms: each well within the silence limit; all of them take 10 s, five
// times the limit.
constexpr int kTrickledBytes = 25;
constexpr int kTrickleMilliseconds = 400;

Bytes Request() {
    return pdu_test::Associate(
        0x01, "PELLA", "TRICKLER",
        {pdu_test::ProposedContext(1, kVerification, {kImplicit}), pdu_test::UserInfo()});
}

// An echo request in one P-DATA-TF.
Bytes EchoRequestPdu() {
    Bytes command = {0, 0, 2, 0, 18, 0, 0, 0};
    PutText(command, std::string(kVerification) + '\0');
    PutCommandUS(command, 0x0100, 0x0030);
    PutCommandUS(command, 0x0110, 1);
    PutCommandUS(command, 0x0800, 0x0101);
    Bytes group = {0, 0, 0, 0, 4, 0, 0, 0};
    for (int shift = 0; shift < 32; shift += 8)
        group.push_back(static_cast<uint8_t>(command.size() >> shift));
    group.insert(group.end(), command.begin(), command.end());
    return PData(1, 0x03, group);
}

struct Server {
    explicit Server(int maxAssociations = 4, int timeoutSeconds = kTimeoutSeconds) {
        StoreServerConfig config;
        config.port = "0";
        config.storageFolder = config.databaseRoot = dir.File("db");
        config.acseTimeoutSeconds = timeoutSeconds;
        config.receiveTimeoutSeconds = timeoutSeconds;
        config.maxAssociations = maxAssociations;
        server = std::make_unique<StoreServer>(config);
        started = server->Start();
        port = server->Port();
    }
    TempDir dir;
    std::unique_ptr<StoreServer> server;
    bool started = false;
    int port = 0;
};

int Connect(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends `bytes` one at a time, kTrickleMilliseconds apart, at most kTrickledBytes of them;
// returns how many went before the server ended the connection (kTrickledBytes: it never did)
// and what it sent meanwhile.
int Trickle(int fd, const Bytes& bytes, Bytes& back) {
    for (int sent = 0; sent < kTrickledBytes && sent < static_cast<int>(bytes.size()); ++sent) {
        if (::send(fd, &bytes[sent], 1, MSG_NOSIGNAL) != 1) return sent;
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, kTrickleMilliseconds) <= 0) continue;
        uint8_t chunk[256];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return sent + 1;
        back.insert(back.end(), chunk, chunk + n);
    }
    return kTrickledBytes;
}

}  // namespace

// An association request, or a P-DATA-TF on an open association, trickled a byte at a time:
// dropped with an A-ABORT at the time-out although no single wait for a byte ever reached it.
TEST(ServerDeadlines, ATrickledRequestOrPduIsDroppedAtItsTimeOut) {
    for (bool pdata : {false, true}) {
        SCOPED_TRACE(pdata ? "P-DATA-TF (--dimse-timeout)" : "A-ASSOCIATE-RQ (--acse-timeout)");
        Server server;
        ASSERT_TRUE(server.started);
        int fd = Connect(server.port);
        ASSERT_GE(fd, 0);
        if (pdata) {
            const Bytes request = Request();
            ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(request.size()));
            uint8_t type = 0;
            ASSERT_EQ(::recv(fd, &type, 1, 0), 1);
            ASSERT_EQ(type, 0x02) << "the association was not accepted";
            // The rest of the A-ASSOCIATE-AC.
            uint8_t chunk[1024];
            pollfd watch{fd, POLLIN, 0};
            while (::poll(&watch, 1, 200) > 0 && ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT) > 0) {
            }
        }
        Bytes back;
        int sent = Trickle(fd, pdata ? EchoRequestPdu() : Request(), back);
        if (sent < kTrickledBytes) {
            Bytes more = ReadUntilClosed(fd);
            back.insert(back.end(), more.begin(), more.end());
        }
        ::close(fd);
        EXPECT_LT(sent, kTrickledBytes) << "the server took the trickle for " << kTrickledBytes << " bytes";
        EXPECT_EQ(back, kAbort);
    }
}

// With its one place held by an idle association, the server answers a hundred connections
// that ask at once, each with exactly the A-ASSOCIATE-RJ (transient, service provider
// (presentation), local limit exceeded), and serves again once the place is free.
TEST(ServerDeadlines, EveryConnectionOverTheLimitGetsTheRejection) {
    Server server(1, 60);  // the idle association keeps its place
    ASSERT_TRUE(server.started);
    auto idle = std::make_unique<PDU>(20);
    std::string calling = "IDLE";
    ASSERT_TRUE(
        OpenAssoc(*idle, "127.0.0.1", std::to_string(server.port), calling, "PELLA", kVerification, ""));

    constexpr int kCrowd = 100;
    std::vector<int> crowd;
    for (int i = 0; i < kCrowd; ++i) crowd.push_back(Connect(server.port));
    const Bytes request = Request();
    for (int fd : crowd) {
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
    }
    int answered = 0;
    for (int fd : crowd) {
        Bytes back = ReadUntilClosed(fd);
        answered += back == kOverLimitAnswer;
        EXPECT_EQ(back, kOverLimitAnswer);
        ::close(fd);
    }
    EXPECT_EQ(answered, kCrowd);

    idle.reset();  // released: the place is free
    bool served = false;
    for (int attempt = 0; attempt < 100 && !served; ++attempt) {
        PDU probe(5);
        std::string probeTitle = "PROBE";
        served = OpenAssoc(probe, "127.0.0.1", std::to_string(server.port), probeTitle, "PELLA",
                           kVerification, "");
        if (!served) ::poll(nullptr, 0, 20);
    }
    EXPECT_TRUE(served);
}
