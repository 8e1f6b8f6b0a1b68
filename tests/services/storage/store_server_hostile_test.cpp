// The storage server against peers that send too much, a process short of descriptors, and a
// bounded stream of mutated and random PDUs: each association ends cleanly and the next one is
// served.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "data/io/dataset_writer.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "net/pdu/pdu_limits.h"
#include "net/pdu/pdu_records.h"
#include "net/pdu/pdu_test_data.h"
#include "services/storage/store_server.h"
#include "services/verification/echo.h"
#include "support/run_command.h"
#include "support/running_store_server.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr const char* kVerification = "1.2.840.10008.1.1";
constexpr const char* kCtImage = "1.2.840.10008.5.1.4.1.1.2";
constexpr const char* kImplicit = "1.2.840.10008.1.2";

// A complete C-ECHO on a fresh association: the server still serves.
bool EchoServed(const std::string& port) {
    PDU pdu(5);
    std::string calling = "PROBE";
    return pella::OpenAssoc(pdu, "127.0.0.1", port, calling, "PELLA", kVerification, "") &&
           WriteEchoRQ(pdu, kVerification) && ReadEchoRSP(pdu);
}

// The type of the next PDU the server sends; 0 when the connection ends first.
uint8_t NextPduType(PDU& pdu) {
    uint8_t type = 0;
    return pdu.buffer.ReadU8(type) ? type : 0;
}

// Sends raw bytes on an open association.
bool SendRaw(PDU& pdu, const Bytes& bytes) {
    pdu.buffer.WriteBytes(bytes.data(), bytes.size());
    return pdu.buffer.Flush();
}

Bytes StoreCommand(uint16_t messageID) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, kCtImage);
    AppendUS(command, 0x0000, kTagCommandField, kCStoreRQ);
    AppendUS(command, 0x0000, kTagMessageID, messageID);
    AppendUS(command, 0x0000, kTagPriority, 0);
    AppendUS(command, 0x0000, kTagDataSetType, kDataSetPresent);
    AppendUI(command, 0x0000, kTagAffectedSopInstance, "1.2.3.4.5");
    PrependCommandGroupLength(command);
    return SerializeList(command, false, false);
}

Bytes EchoCommand(uint16_t messageID) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, kVerification);
    AppendUS(command, 0x0000, kTagCommandField, kCEchoRQ);
    AppendUS(command, 0x0000, kTagMessageID, messageID);
    AppendUS(command, 0x0000, kTagDataSetType, kNoDataSet);
    PrependCommandGroupLength(command);
    return SerializeList(command, false, false);
}

Bytes SmallDataSet() {
    ElementList data;
    data.Append(NewElement(0x0008, 0x0016, 26, "1.2.840.10008.5.1.4.1.1.2\0", "UI"));
    data.Append(NewElement(0x0008, 0x0018, 10, "1.2.3.4.5\0", "UI"));
    data.Append(NewElement(0x0010, 0x0010, 4, "DOE ", "PN"));
    data.Append(NewElement(0x0020, 0x000D, 6, "1.2.3\0", "UI"));
    data.Append(NewElement(0x0020, 0x000E, 8, "1.2.3.4\0", "UI"));
    return SerializeList(data, false, false);
}

// A well-formed exchange to mutate: association request (verification on 1, CT on 3), an
// echo, a store of a small object, and a release request.
Bytes ConformingExchange() {
    Bytes all =
        pdu_test::Associate(0x01, "PELLA", "FUZZER",
                            {pdu_test::ProposedContext(1, kVerification, {kImplicit}),
                             pdu_test::ProposedContext(3, kCtImage, {kImplicit}), pdu_test::UserInfo()});
    auto append = [&all](const Bytes& more) { all.insert(all.end(), more.begin(), more.end()); };
    append(PData(1, 0x03, EchoCommand(1)));
    append(PData(3, 0x03, StoreCommand(3)));
    append(PData(3, 0x02, SmallDataSet()));
    append({0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0});
    return all;
}

bool ConnectSocket(int fd, const std::string& port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

int ConnectTo(const std::string& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0 && !ConnectSocket(fd, port)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends everything (as far as the server takes it), ends the sending side and reads until the
// server closes. False when the server did not close within 20 s.
bool PlayAndDrain(const std::string& port, const Bytes& bytes) {
    int fd = ConnectTo(port);
    if (fd < 0) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;  // the server gave up on us: fine
        sent += static_cast<std::size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    bool closed = false;
    uint8_t scratch[4096];
    pollfd watch{fd, POLLIN, 0};
    while (poll(&watch, 1, 20000) > 0) {
        if (recv(fd, scratch, sizeof scratch, 0) <= 0) {
            closed = true;
            break;
        }
    }
    close(fd);
    return closed;
}

Bytes Mutated(const Bytes& seed, std::mt19937& random) {
    auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    auto byte = [&random] { return static_cast<uint8_t>(random()); };
    if (pick(20) == 0) {  // pure garbage, sometimes behind a plausible type byte
        Bytes garbage(pick(600) + 1);
        for (auto& b : garbage) b = byte();
        if (pick(2) == 0) garbage[0] = static_cast<uint8_t>(pick(8));
        return garbage;
    }
    Bytes bytes = seed;
    std::size_t edits = pick(6) + 1;
    for (std::size_t i = 0; i < edits && !bytes.empty(); ++i) {
        std::size_t at = pick(bytes.size());
        switch (pick(6)) {
            case 0:
                bytes[at] = byte();
                break;
            case 1:
                bytes[at] ^= static_cast<uint8_t>(1u << pick(8));
                break;
            case 2: {  // a lying length: a big or tiny 32-bit value anywhere
                static const uint32_t kValues[] = {0,          1,          2,          5,
                                                   0x7FFFFFFF, 0xFFFFFFFF, 0x01000000, 0xFFFFFFFE};
                uint32_t value = kValues[pick(8)];
                for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                    bytes[at + k] = static_cast<uint8_t>(value >> (24 - 8 * k));
                break;
            }
            case 3:
                bytes.resize(at);
                break;  // stops mid-PDU
            case 4:
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), pick(16) + 1, byte());
                break;
            default:
                bytes.erase(
                    bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + pick(16) + 1)));
        }
    }
    return bytes;
}

// True when every file below `root` lies inside `inside`.
bool AllFilesInside(const fs::path& root, const fs::path& inside) {
    std::string prefix = fs::weakly_canonical(inside).string() + "/";
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        if (fs::weakly_canonical(entry.path()).string().rfind(prefix, 0) != 0) return false;
    }
    return true;
}

}  // namespace

TEST(StoreServerLimits, ACommandThatNeverEndsIsAbortedAtItsLimit) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    PDU pdu(10);
    std::string calling = "HOSTILE";
    ASSERT_TRUE(pella::OpenAssoc(pdu, "127.0.0.1", running.port, calling, "PELLA", kVerification, ""));
    // Command fragments without the last-fragment bit, past the command limit.
    Bytes fragment(16 * 1024, 0);
    std::size_t sent = 0;
    while (sent <= kMaxReceivedCommand && SendRaw(pdu, PData(1, 0x01, fragment))) sent += fragment.size();
    EXPECT_EQ(NextPduType(pdu), pdu_type::kAbort) << "the server still waits for the rest of the command";
    EXPECT_TRUE(EchoServed(running.port));
}

TEST(StoreServerLimits, ADataSetPastTheLimitIsAbortedAndSmallerOnesAreStored) {
    TempDir dir;
    RunningServer running(dir, 3, 1024 * 1024);
    ASSERT_TRUE(running.started);
    {
        PDU pdu(10);
        std::string calling = "HOSTILE";
        ASSERT_TRUE(pella::OpenAssoc(pdu, "127.0.0.1", running.port, calling, "PELLA", kCtImage, ""));
        ASSERT_TRUE(SendRaw(pdu, PData(1, 0x03, StoreCommand(1))));
        Bytes fragment(64 * 1024, 0);
        std::size_t sent = 0;
        while (sent <= 1024 * 1024 && SendRaw(pdu, PData(1, 0x00, fragment))) sent += fragment.size();
        EXPECT_EQ(NextPduType(pdu), pdu_type::kAbort);
    }
    EXPECT_FALSE(fs::exists(dir.File("db/1.2.3/1.2.3.4/1.2.3.4.5.dcm")));

    // A real sender with an object below the limit.
    fs::path sample = PydicomTestFiles() / "CT_small.dcm";
    ASSERT_LT(fs::file_size(sample), 1024u * 1024u);
    int code = -1;
    std::string out = RunCommand(
        "TCP_NODELAY=1 storescu 127.0.0.1 " + running.port + " " + Quote(sample.string()) + " 2>&1", &code);
    EXPECT_EQ(code, 0) << out;
    std::size_t stored = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.File("db")))
        if (entry.path().extension() == ".dcm") ++stored;
    EXPECT_EQ(stored, 1u);
}

// A host process that runs out of descriptors for a moment must not lose its server: the
// connection that arrived meanwhile is served once descriptors are free again.
TEST(StoreServerLimits, RunningOutOfDescriptorsDoesNotStopTheServer) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    int highest = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
        highest = std::max(highest, std::stoi(entry.path().filename().string()));
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(highest + 16);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);

    int client = socket(AF_INET, SOCK_STREAM, 0);
    std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
    // The server meets the connection with no descriptor left to take it.
    bool connected = client >= 0 && ConnectSocket(client, running.port);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int fd : fillers) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(connected);
    EXPECT_FALSE(fillers.empty());

    Bytes request =
        pdu_test::Associate(0x01, "PELLA", "WAITING",
                            {pdu_test::ProposedContext(1, kVerification, {kImplicit}), pdu_test::UserInfo()});
    send(client, request.data(), request.size(), MSG_NOSIGNAL);
    uint8_t type = 0;
    pollfd watch{client, POLLIN, 0};
    if (poll(&watch, 1, 20000) > 0 && recv(client, &type, 1, 0) != 1) type = 0;
    close(client);
    EXPECT_EQ(type, pdu_type::kAssociateAC) << "the waiting connection was not served";
    EXPECT_TRUE(EchoServed(running.port));
}

// A peer that sends requests but never reads the answers: once nothing more can be sent to it
// for the receive wait, the server drops it and serves the next association.
TEST(StoreServerLimits, APeerThatStopsReadingIsDropped) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(ConnectSocket(fd, running.port));
    Bytes request =
        pdu_test::Associate(0x01, "PELLA", "DEAF",
                            {pdu_test::ProposedContext(1, kVerification, {kImplicit}), pdu_test::UserInfo()});
    Bytes echo = PData(1, 0x03, EchoCommand(1));
    Bytes echoes;
    for (int i = 0; i < 256; ++i) echoes.insert(echoes.end(), echo.begin(), echo.end());
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    fcntl(fd, F_SETFL, O_NONBLOCK);
    // Echo requests until the connection fails; each wait for room is bounded.
    bool dropped = false;
    for (std::size_t offset = 0; !dropped;) {
        pollfd watch{fd, POLLOUT, 0};
        if (poll(&watch, 1, 20000) <= 0) break;
        ssize_t n = send(fd, echoes.data() + offset, echoes.size() - offset, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) dropped = true;
        if (n > 0) offset = (offset + static_cast<std::size_t>(n)) % echoes.size();
    }
    close(fd);
    EXPECT_TRUE(dropped) << "the server still waits to send to a peer that does not read";
    EXPECT_TRUE(EchoServed(running.port));
}

// A few thousand mutated and random exchanges, bounded in count and time. Each must end with
// the server closing the connection; afterwards the server still answers, and nothing it wrote
// lies outside its storage folder.
TEST(StoreServerFuzz, MutatedExchangesNeverStopTheServer) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    const Bytes seed = ConformingExchange();
    ASSERT_TRUE(PlayAndDrain(running.port, seed));
    ASSERT_TRUE(fs::exists(dir.File("db/1.2.3/1.2.3.4/1.2.3.4.5.dcm")))
        << "the seed exchange is not a valid store";

    std::mt19937 random(20261207);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
    int played = 0;
    for (; played < 3000 && std::chrono::steady_clock::now() < deadline; ++played)
        ASSERT_TRUE(PlayAndDrain(running.port, Mutated(seed, random))) << "exchange " << played << " hung";
    EXPECT_GT(played, 100);
    EXPECT_TRUE(EchoServed(running.port));
    EXPECT_TRUE(AllFilesInside(dir.Path(), dir.File("db")));
}

namespace {

// Everything the server sends until it closes the connection (at most 20 s of waiting).
Bytes ReadUntilClosed(int fd) {
    Bytes all;
    uint8_t chunk[4096];
    pollfd watch{fd, POLLIN, 0};
    while (poll(&watch, 1, 20000) > 0) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        all.insert(all.end(), chunk, chunk + n);
    }
    return all;
}

// One whole PDU from the server; empty when the connection ends first.
Bytes ReadOnePdu(int fd) {
    Bytes pdu(6);
    auto readExactly = [fd](uint8_t* out, std::size_t n) {
        std::size_t got = 0;
        pollfd watch{fd, POLLIN, 0};
        while (got < n && poll(&watch, 1, 20000) > 0) {
            ssize_t r = recv(fd, out + got, n - got, 0);
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return got == n;
    };
    if (!readExactly(pdu.data(), 6)) return {};
    uint32_t length = (uint32_t{pdu[2]} << 24) | (uint32_t{pdu[3]} << 16) | (uint32_t{pdu[4]} << 8) | pdu[5];
    if (length > 65536) return {};
    pdu.resize(6 + length);
    if (!readExactly(pdu.data() + 6, length)) return {};
    return pdu;
}

void SendAll(int fd, const Bytes& bytes) {
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// A connection with an established association (verification on 1, CT on 3), or -1.
int Associated(const std::string& port) {
    int fd = ConnectTo(port);
    if (fd < 0) return -1;
    SendAll(fd,
            pdu_test::Associate(0x01, "PELLA", "HOSTILE",
                                {pdu_test::ProposedContext(1, kVerification, {kImplicit}),
                                 pdu_test::ProposedContext(3, kCtImage, {kImplicit}), pdu_test::UserInfo()}));
    Bytes answer = ReadOnePdu(fd);
    if (answer.empty() || answer[0] != pdu_type::kAssociateAC) {
        close(fd);
        return -1;
    }
    return fd;
}

const Bytes kUserAbort = {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0};        // AA-1: source 0
const Bytes kUnexpectedAbort = {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 2};  // AA-8: source 2, unexpected PDU
const Bytes kUnrecognizedAbort = {0x07, 0, 0, 0, 0, 4, 0, 0, 2, 1};
const Bytes kReleaseRQ = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};

}  // namespace

// PDUs out of place get the transition table's A-ABORT: before any association (AA-1, source
// 0) and on an established one (AA-8, source 2, reason 2, or 1 for an unknown type). An A-ABORT
// before the association is not answered. The server serves the next peer each time.
TEST(StoreServerHostile, PdusOutOfPlaceGetTheTablesAbort) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    const Bytes associateRQ =
        pdu_test::Associate(0x01, "PELLA", "AGAIN",
                            {pdu_test::ProposedContext(1, kVerification, {kImplicit}), pdu_test::UserInfo()});
    const Bytes associateAC = AcceptBytes(1, kImplicit);
    const Bytes associateRJ = {0x03, 0, 0, 0, 0, 4, 0, 1, 1, 1};
    const Bytes pdata = PData(1, 0x03, EchoCommand(1));
    const Bytes unknownType = {0x09, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    struct Case {
        const char* what;
        bool established;
        Bytes sent;
        Bytes answer;  // everything the server sends before it closes
    };
    const Case cases[] = {
        {"A-ASSOCIATE-AC first", false, associateAC, kUserAbort},
        {"A-ASSOCIATE-RJ first", false, associateRJ, kUserAbort},
        {"P-DATA-TF first", false, pdata, kUserAbort},
        {"A-RELEASE-RQ first", false, kReleaseRQ, kUserAbort},
        {"A-RELEASE-RP first", false, kReleaseRP, kUserAbort},
        {"unknown PDU type first", false, unknownType, kUserAbort},
        {"A-ABORT first", false, kAbort, {}},
        {"second A-ASSOCIATE-RQ", true, associateRQ, kUnexpectedAbort},
        {"A-ASSOCIATE-AC on the association", true, associateAC, kUnexpectedAbort},
        {"A-ASSOCIATE-RJ on the association", true, associateRJ, kUnexpectedAbort},
        {"A-RELEASE-RP on the association", true, kReleaseRP, kUnexpectedAbort},
        {"unknown PDU type on the association", true, unknownType, kUnrecognizedAbort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int fd = c.established ? Associated(running.port) : ConnectTo(running.port);
        ASSERT_GE(fd, 0);
        SendAll(fd, c.sent);
        EXPECT_EQ(ReadUntilClosed(fd), c.answer);
        close(fd);
        EXPECT_TRUE(EchoServed(running.port));
    }
}

// A release request is answered between messages; in the middle of a message (part of a command,
// or a C-STORE command whose data set has not come) the message could never complete, so the
// association is aborted (source 0), never released, and nothing is filed.
TEST(StoreServerHostile, AReleaseInTheMiddleOfAMessageAborts) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    const Bytes store = StoreCommand(1);
    const Bytes data = SmallDataSet();
    struct Case {
        const char* what;
        std::vector<Bytes> before;
        bool released;
    };
    const Case cases[] = {
        {"between messages", {}, true},
        {"after a whole echo", {PData(1, 0x03, EchoCommand(1))}, true},
        {"half a command", {PData(3, 0x01, Bytes(store.begin(), store.begin() + 20))}, false},
        {"a command whose data set has not come", {PData(3, 0x03, store)}, false},
        {"half a data set",
         {PData(3, 0x03, store), PData(3, 0x00, Bytes(data.begin(), data.begin() + 16))},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int fd = Associated(running.port);
        ASSERT_GE(fd, 0);
        for (const Bytes& pdu : c.before) SendAll(fd, pdu);
        SendAll(fd, kReleaseRQ);
        Bytes answer = ReadUntilClosed(fd);
        close(fd);
        ASSERT_GE(answer.size(), 10u);
        Bytes last(answer.end() - 10, answer.end());  // an echo response may come first
        EXPECT_EQ(last, c.released ? kReleaseRP : kUserAbort);
        EXPECT_TRUE(EchoServed(running.port));
    }
    EXPECT_FALSE(fs::exists(dir.File("db/1.2.3/1.2.3.4/1.2.3.4.5.dcm")));
}

// A request whose every context is refused is answered with this server's own user information
// (implementation class UID, version name, maximum length), and the association stays open for
// the requester's release, which is answered.
TEST(StoreServerHostile, AnAnswerWithoutAcceptedContextsWaitsForTheRelease) {
    TempDir dir;
    RunningServer running(dir, 3);
    ASSERT_TRUE(running.started);
    int fd = ConnectTo(running.port);
    ASSERT_GE(fd, 0);
    Bytes foreignUserInfo = pdu_test::Item(0x50, pdu_test::Big()
                                                     .Raw(pdu_test::MaxLength(4096))
                                                     .Raw(pdu_test::TextSubItem(0x52, "1.2.3.4.5.6"))
                                                     .Raw(pdu_test::TextSubItem(0x55, "OTHERSIDE"))
                                                     .Bytes());
    SendAll(fd, pdu_test::Associate(
                    0x01, "PELLA", "STRICT",
                    {pdu_test::ProposedContext(1, "1.2.840.10008.5.1.4.1.1.481.2", {kImplicit}),
                     pdu_test::ProposedContext(3, kCtImage, {"1.2.840.10008.1.2.2"}), foreignUserInfo}));
    Bytes answer = ReadOnePdu(fd);
    ASSERT_FALSE(answer.empty());
    PduBuffer reader;
    reader.SetReadOrder(kBigEndian);
    reader.AppendInput(answer.data(), answer.size());
    AssociateAC accept;
    ASSERT_TRUE(accept.ReadWithType(reader));
    ASSERT_EQ(accept.presentationContexts.size(), 2u);
    EXPECT_EQ(accept.presentationContexts[0].result, 3);
    EXPECT_EQ(accept.presentationContexts[1].result, 4);
    EXPECT_EQ(accept.userInformation.implementationClassUID.text, kImplementationClassUid);
    EXPECT_EQ(accept.userInformation.implementationVersionName.text, kAssociationVersionName);
    EXPECT_EQ(accept.userInformation.maxLength, kOurMaxPduLength);
    // The connection is still open: the release is answered, then the server closes.
    SendAll(fd, kReleaseRQ);
    EXPECT_EQ(ReadUntilClosed(fd), kReleaseRP);
    close(fd);
    EXPECT_TRUE(EchoServed(running.port));
}
