// Deflating and inflating data sets: streams cut into any pieces, the limit that stops a bomb
// without allocating for it, and Part 10 files written deflated and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/deflater.h"
#include "data/io/inflater.h"
#include "data/io/meta_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "support/data_set_builder.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::AddText;
using testing_support::AddUS;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& plain, std::size_t piece = 1 << 20) {
    std::vector<uint8_t> out;
    Deflater deflater([&out](const uint8_t* bytes, std::size_t size) {
        out.insert(out.end(), bytes, bytes + size);
        return true;
    });
    for (std::size_t at = 0; at < plain.size(); at += piece)
        EXPECT_TRUE(deflater.Add(plain.data() + at, std::min(piece, plain.size() - at)));
    EXPECT_TRUE(deflater.Finish());
    return out;
}

// Text-like bytes with runs and noise: compressible, but not trivially.
std::vector<uint8_t> SampleBytes(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t seed = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = (i / 97) % 3 == 0 ? static_cast<uint8_t>(seed >> 24) : static_cast<uint8_t>('a' + i % 13);
    }
    return bytes;
}

}  // namespace

TEST(DeflateStream, InflatesWhateverPiecesTheBytesComeIn) {
    const std::vector<uint8_t> plain = SampleBytes(300000);
    const std::vector<uint8_t> deflated = Deflate(plain, 7777);
    EXPECT_EQ(deflated.size() % 2, 0u) << "padded to an even length";
    EXPECT_LT(deflated.size(), plain.size());
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{3}, std::size_t{4096}, std::size_t{70000}, deflated.size()}) {
        Inflater inflater(plain.size());
        std::vector<uint8_t> out;
        std::size_t largest = 0;
        for (std::size_t at = 0; at < deflated.size(); at += piece)
            ASSERT_TRUE(inflater.Feed(deflated.data() + at, std::min(piece, deflated.size() - at),
                                      [&](const uint8_t* bytes, std::size_t size) {
                                          largest = std::max(largest, size);
                                          out.insert(out.end(), bytes, bytes + size);
                                          return true;
                                      }))
                << "piece " << piece << ": " << inflater.Failure();
        EXPECT_TRUE(inflater.Ended()) << piece;
        EXPECT_TRUE(out == plain) << piece;
        EXPECT_LE(largest, Inflater::kPieceSize) << piece;
    }
}

TEST(DeflateStream, ABombStopsAtItsLimitWithoutBeingHeld) {
    // 64 MiB of zeros deflate to some 64 KB: a thousandfold.
    std::vector<uint8_t> bomb;
    {
        Deflater deflater([&bomb](const uint8_t* bytes, std::size_t size) {
            bomb.insert(bomb.end(), bytes, bytes + size);
            return true;
        });
        const std::vector<uint8_t> zeros(1 << 20, 0);
        for (int i = 0; i < 64; ++i) ASSERT_TRUE(deflater.Add(zeros.data(), zeros.size()));
        ASSERT_TRUE(deflater.Finish());
    }
    ASSERT_LT(bomb.size(), 100000u);
    const uint64_t limit = 8 << 20;
    Inflater inflater(limit);
    std::size_t largest = 0;
    EXPECT_FALSE(inflater.Feed(bomb.data(), bomb.size(), [&](const uint8_t*, std::size_t size) {
        largest = std::max(largest, size);
        return true;
    }));
    EXPECT_NE(inflater.Failure().find("decompression bomb"), std::string::npos) << inflater.Failure();
    EXPECT_LE(inflater.BytesOut(), limit);
    EXPECT_LE(largest, Inflater::kPieceSize);

    ByteVector whole;
    std::string reason;
    EXPECT_FALSE(InflateWhole(bomb.data(), bomb.size(), limit, whole, reason));
    EXPECT_NE(reason.find("decompression bomb"), std::string::npos) << reason;
    EXPECT_EQ(whole.capacity(), 0u) << "nothing is allocated for a stream past its limit";
    // The same stream within a limit it keeps inflates whole.
    EXPECT_TRUE(InflateWhole(bomb.data(), bomb.size(), 64 << 20, whole, reason)) << reason;
    EXPECT_EQ(whole.size(), std::size_t{64} << 20);
}

TEST(DeflateStream, CutShortAndCorruptStreamsFailByName) {
    const std::vector<uint8_t> deflated = Deflate(SampleBytes(50000));
    struct Case {
        std::vector<uint8_t> bytes;
        const char* said;
    } cases[] = {
        {std::vector<uint8_t>(deflated.begin(), deflated.begin() + deflated.size() / 2), "cut short"},
        {std::vector<uint8_t>(64, 0xFF), "corrupt"},
        {{}, "cut short"},
    };
    for (const Case& c : cases) {
        ByteVector out;
        std::string reason;
        EXPECT_FALSE(InflateWhole(c.bytes.data(), c.bytes.size(), 1 << 20, out, reason)) << c.said;
        EXPECT_NE(reason.find(c.said), std::string::npos) << reason;
    }
}

TEST(DeflateStream, LimitIsSixtyFourTimesTheStreamOrOneGibibyte) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    EXPECT_EQ(InflationLimit(0), kGiB);
    EXPECT_EQ(InflationLimit(1024), kGiB);
    EXPECT_EQ(InflationLimit(kGiB / 64), kGiB);
    EXPECT_EQ(InflationLimit(100u << 20), 6400ull << 20);
    EXPECT_EQ(InflationLimit(UINT64_MAX), UINT64_MAX);
}

// A file written with a meta group naming the deflated syntax holds its data set deflated, and
// every reader gets the elements back.
TEST(DeflatedFile, IsWrittenDeflatedAndReadBackByEveryReader) {
    ElementList data;
    AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(data, 0x0008, 0x0018, "UI", "1.2.3.4.5");
    AddText(data, 0x0010, 0x0010, "PN", std::string(3000, 'A'));
    AddUS(data, 0x0028, 0x0010, 512);
    std::vector<uint8_t> pixels = SampleBytes(20000);
    data.Append(NewElement(0x7FE0, 0x0010, static_cast<int32_t>(pixels.size()), pixels.data(), "OW"));
    ElementList meta;
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.3.4.5", kDeflatedLittleEndian, true);
    TempDir dir;
    std::string file = dir.File("deflated.dcm");
    ASSERT_TRUE(WritePart10File(file, &meta, data, true, false));

    // After the meta group stands the raw deflate stream of the explicit little-endian encoding.
    std::vector<uint8_t> bytes = testing_support::ReadAll(file);
    std::size_t metaEnd = 132 + SerializeList(meta, true, false).size();
    ASSERT_GT(bytes.size(), metaEnd);
    ByteVector inflated;
    std::string reason;
    ASSERT_TRUE(InflateWhole(bytes.data() + metaEnd, bytes.size() - metaEnd, 1 << 20, inflated, reason))
        << reason;
    std::vector<uint8_t> plain = SerializeList(data, true, false);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), inflated.begin(), inflated.end()));
    EXPECT_LT(bytes.size() - metaEnd, plain.size());

    auto sameElements = [&](const ElementList& read, std::size_t count) {
        ASSERT_EQ(read.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(read[i].group, data[i].group);
            EXPECT_EQ(read[i].element, data[i].element);
            ASSERT_EQ(read[i].length, data[i].length);
            EXPECT_EQ(std::memcmp(read[i].value, data[i].value, static_cast<std::size_t>(data[i].length)), 0);
        }
    };
    ElementList readMeta, readData;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(file, readMeta, readData, state)) << LastFailure();
    EXPECT_TRUE(state.explicitVR);
    sameElements(readData, data.size());

    DataSetFront front;
    ASSERT_TRUE(ReadDataSetFront(file, front)) << LastFailure();
    EXPECT_TRUE(front.deflated);
    EXPECT_EQ(front.syntax, kDeflatedLittleEndian);
    EXPECT_EQ(front.tailOffset, metaEnd);
    EXPECT_EQ(front.tailLength, bytes.size() - metaEnd);
    sameElements(front.elements, data.size() - 1);  // all but the pixel data

    // A file cut inside its deflated data set is refused, and says so.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(metaEnd + 100));
    ElementList m2, d2;
    EXPECT_FALSE(ReadPart10File(dir.Write("cut.dcm", cut), m2, d2, state));
    EXPECT_NE(LastFailure().find("cut short"), std::string::npos) << LastFailure();
}
