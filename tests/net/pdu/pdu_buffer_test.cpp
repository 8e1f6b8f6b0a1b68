#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "log/protocol_log.h"
#include "net/pdu/pdu_buffer.h"
#include "support/log_file.h"
#include "support/pdu_pipe.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::LogSettingsGuard;
using testing_support::PduPipe;
using testing_support::ReadText;
using testing_support::TempDir;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Counting(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

}  // namespace

TEST(PduBuffer, MultiByteValuesFollowTheByteOrder) {
    PduPipe pipe;
    pipe.buffer.SetWriteOrder(kBigEndian);
    pipe.buffer.WriteU32(0x205);
    pipe.buffer.WriteU16(0x0102);
    pipe.buffer.SetWriteOrder(kLittleEndian);
    pipe.buffer.WriteU32(0x205);
    pipe.buffer.WriteU16(0x0102);
    EXPECT_EQ(pipe.buffer.OutputPending(), 12u);
    ASSERT_TRUE(pipe.buffer.Flush());
    EXPECT_EQ(pipe.buffer.OutputPending(), 0u);
    EXPECT_EQ(pipe.Sent(), (Bytes{0, 0, 2, 5, 1, 2, 5, 2, 0, 0, 2, 1}));

    pipe.Feed({0, 0, 2, 5, 1, 2, 5, 2, 0, 0, 2, 1, 0x7F});
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    pipe.buffer.SetReadOrder(kBigEndian);
    ASSERT_TRUE(pipe.buffer.ReadU32(u32));
    EXPECT_EQ(u32, 0x205u);
    ASSERT_TRUE(pipe.buffer.ReadU16(u16));
    EXPECT_EQ(u16, 0x0102);
    pipe.buffer.SetReadOrder(kLittleEndian);
    ASSERT_TRUE(pipe.buffer.ReadU32(u32));
    EXPECT_EQ(u32, 0x205u);
    ASSERT_TRUE(pipe.buffer.ReadU16(u16));
    EXPECT_EQ(u16, 0x0102);
    ASSERT_TRUE(pipe.buffer.ReadU8(u8));
    EXPECT_EQ(u8, 0x7F);
}

TEST(PduBuffer, WritesGoOutInBlocksOfTheBlockSize) {
    LogSettingsGuard guard;
    TempDir dir;
    std::string log = dir.File("blocks.log");
    PduPipe pipe;
    Bytes data = Counting(PduBuffer::kBlockSize + 1);
    pipe.buffer.WriteBytes(data.data(), PduBuffer::kBlockSize);
    pipe.buffer.WriteBytes(data.data() + PduBuffer::kBlockSize, 1);
    EXPECT_EQ(pipe.buffer.OutputPending(), data.size());
    SetLogSettings(3, log);
    ASSERT_TRUE(pipe.buffer.Flush());
    SetLogSettings(0, "");

    // One send per block, in order: a full block, then the one byte that opened the second.
    std::string dump = ReadText(log);
    std::size_t first = dump.find(" 32600 >> ");
    std::size_t second = dump.find("     1 >> ");
    EXPECT_EQ(first, 0u);
    EXPECT_NE(second, std::string::npos);
    EXPECT_GT(second, first);

    Bytes sent;
    while (sent.size() < data.size()) {
        Bytes more = pipe.Sent();
        if (more.empty()) break;
        sent.insert(sent.end(), more.begin(), more.end());
    }
    EXPECT_EQ(sent, data);
}

TEST(PduBuffer, ReadsJoinBytesThatArriveInPieces) {
    PduPipe pipe(5);
    Bytes data = Counting(3000);
    std::thread feeder([&] {
        for (std::size_t i = 0; i < data.size(); i += 3) {
            pipe.Feed(Bytes(data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + 3)));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    Bytes back(data.size() - 7);
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    bool ok = pipe.buffer.ReadU8(u8) && pipe.buffer.ReadU32(u32) && pipe.buffer.ReadU16(u16) &&
              pipe.buffer.ReadBytes(back.data(), back.size());
    feeder.join();
    ASSERT_TRUE(ok);
    EXPECT_EQ(u8, data[0]);
    EXPECT_EQ(u32, uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4]);
    EXPECT_EQ(u16, data[5] << 8 | data[6]);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 7));
    EXPECT_EQ(pipe.buffer.InputAvailable(), 0u);
}

TEST(PduBuffer, AFailedReadConsumesNothing) {
    PduPipe pipe;
    pipe.Feed({1, 2, 3});
    pipe.EndFeed();
    uint32_t u32 = 0xDEADBEEF;
    EXPECT_FALSE(pipe.buffer.ReadU32(u32));
    EXPECT_EQ(u32, 0u);
    EXPECT_FALSE(pipe.buffer.Transport().IsConnected());  // the peer's close dropped it
    EXPECT_EQ(pipe.buffer.InputAvailable(), 3u);
    uint8_t three[3] = {};
    ASSERT_TRUE(pipe.buffer.ReadBytes(three, 3));
    EXPECT_EQ(three[2], 3);
    uint8_t u8 = 9;
    EXPECT_FALSE(pipe.buffer.ReadU8(u8));  // fails at once on the idle transport
    EXPECT_EQ(u8, 0);
}

TEST(PduBuffer, SkipDropsLargeCountsPieceByPiece) {
    PduPipe pipe(5);
    Bytes data = Counting(400000);  // more than the socket holds: fed while the reader skips
    std::thread feeder([&] { pipe.Feed(data); });
    ASSERT_TRUE(pipe.buffer.Skip(data.size() - 2));
    uint16_t last = 0;
    ASSERT_TRUE(pipe.buffer.ReadU16(last));
    feeder.join();
    EXPECT_EQ(last, data[data.size() - 2] << 8 | data.back());
}

TEST(PduBuffer, StagingMovesBytesBetweenBuffers) {
    PduBuffer staging;  // never connected
    Bytes unit = Counting(70000);
    staging.WriteBytes(unit.data(), unit.size());

    PduPipe pipe;
    std::size_t moved = staging.MoveOutputTo(pipe.buffer, 4096);
    EXPECT_EQ(moved, 4096u);
    EXPECT_EQ(staging.OutputPending(), unit.size() - 4096);
    EXPECT_EQ(pipe.buffer.OutputPending(), 4096u);
    ASSERT_TRUE(pipe.buffer.Flush());
    Bytes sent = pipe.Sent();
    EXPECT_TRUE(sent.size() == 4096 && std::equal(sent.begin(), sent.end(), unit.begin()));
    EXPECT_EQ(staging.MoveOutputTo(pipe.buffer, 1000000), unit.size() - 4096);
    EXPECT_EQ(staging.OutputPending(), 0u);

    // Received bytes go into a staging input and are read from there without a transport.
    pipe.Feed(Bytes(unit.begin(), unit.begin() + 5000));
    PduBuffer input;
    ASSERT_TRUE(pipe.buffer.MoveInputTo(input, 5000));
    EXPECT_EQ(input.InputAvailable(), 5000u);
    input.AppendInput(unit.data() + 5000, 10);
    Bytes back(5010);
    ASSERT_TRUE(input.ReadBytes(back.data(), back.size()));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), unit.begin()));
    uint8_t beyond = 0;
    EXPECT_FALSE(input.ReadU8(beyond));
}

// A peer that sends one byte per packet: each receive gets one byte, and the memory held for
// them must stay near their count instead of one receive buffer per byte.
TEST(PduBuffer, BytesArrivingOneByOneAreHeldCompactly) {
    int ends[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends), 0);
    PduBuffer buffer(5);
    buffer.Transport().Adopt(SocketHandle(ends[0]));
    constexpr std::size_t kCount = 3000;
    std::thread peer([peerEnd = ends[1]] {
        for (std::size_t i = 0; i < kCount; ++i) {
            uint8_t one = static_cast<uint8_t>(i);
            if (::send(peerEnd, &one, 1, MSG_NOSIGNAL) != 1) break;
        }
        ::close(peerEnd);
    });
    Bytes out(kCount + 1);
    // One byte more than will come: the read fails at the end and keeps all it received.
    EXPECT_FALSE(buffer.ReadBytes(out.data(), out.size()));
    peer.join();
    EXPECT_EQ(buffer.InputAvailable(), kCount);
    EXPECT_LE(buffer.InputMemory(), kCount + 2 * PduBuffer::kInputBlockSize);
}
