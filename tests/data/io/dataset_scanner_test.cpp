// The scanner that reads a data set as it arrives, in pieces of any size: on every pydicom
// sample it sees exactly the elements the whole-buffer reader sees, its headers and values give
// back the input byte for byte, and input no reader can decode stops it.
#include <gtest/gtest.h>

#include <cstring>

#include "data/dictionary/dictionary.h"
#include "data/io/byte_source.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_scanner.h"
#include "data/registry/transfer_syntaxes.h"
#include "support/sample_files.h"

using namespace pella;
using testing_support::PydicomSamples;

namespace {

// Rebuilds the element list and the encoded bytes from what the scanner tells.
class Recorder final : public DataSetVisitor {
public:
    ElementList list;
    std::vector<uint8_t> bytes;

    bool Header(const DataElement& e, const uint8_t* raw, std::size_t rawSize) override {
        list.Append(NewElementToFill(e.group, e.element, e.length, e.vr));
        fill_ = 0;
        bytes.insert(bytes.end(), raw, raw + rawSize);
        return true;
    }
    bool Value(const uint8_t* piece, std::size_t size, bool last) override {
        DataElement& e = list[list.size() - 1];
        std::memcpy(e.value + fill_, piece, size);
        fill_ += size;
        bytes.insert(bytes.end(), piece, piece + size);
        return last == (fill_ == static_cast<std::size_t>(e.length));
    }

private:
    std::size_t fill_ = 0;
};

ParseState DataSetState(const std::string& syntax) {
    ParseState state;
    state.metaMode = false;
    state.implicitCommandGroup = true;
    ApplyTransferSyntax(state, syntax);
    return state;
}

struct Scan {
    bool whole = false;  // every piece taken and the data ended with an element
    Recorder recorder;
};

Scan ScanInPieces(const uint8_t* bytes, std::size_t size, const std::string& syntax, std::size_t piece) {
    Scan scan;
    DataSetScanner scanner(DataSetState(syntax));
    bool ok = true;
    for (std::size_t at = 0; at < size && ok; at += piece)
        ok = scanner.Feed(bytes + at, std::min(piece, size - at), scan.recorder);
    scan.whole = ok && scanner.AtElementEnd();
    EXPECT_EQ(ok, scanner.Failure().empty());
    return scan;
}

// The data set bytes of a Part 10 file (after its meta group) and its transfer syntax.
bool DataSetOf(const std::string& file, std::vector<uint8_t>& out, std::string& syntax) {
    ElementList meta, data;
    ParseState state;
    if (!ReadPart10File(file, meta, data, state)) return false;
    const DataElement* ts = FindElement(meta, 0x0002, 0x0010);
    const DataElement* length = FindElement(meta, 0x0002, 0x0000);
    if (ts == nullptr || length == nullptr || length->length != 4) return false;
    syntax = UidText(ts->value, ts->length);
    if (TransferSyntax(syntax).Deflated()) return false;
    ByteVector all;
    if (!LoadFile(file, all)) return false;
    uint32_t groupLength = length->value[0] | (length->value[1] << 8) | (length->value[2] << 16) |
                           (uint32_t{length->value[3]} << 24);
    std::size_t start = 132 + 12 + groupLength;
    if (start > all.size()) return false;
    out.assign(all.begin() + static_cast<std::ptrdiff_t>(start), all.end());
    return true;
}

void ExpectSameElements(const ElementList& expected, const ElementList& seen) {
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DataElement& a = expected[i];
        const DataElement& b = seen[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(a.group, b.group);
        EXPECT_EQ(a.element, b.element);
        EXPECT_EQ(a.length, b.length);
        EXPECT_EQ(std::string(a.vr, 2), std::string(b.vr, 2));
        if (HasValue(a)) {
            EXPECT_EQ(std::memcmp(a.value, b.value, static_cast<std::size_t>(a.length)), 0);
        }
    }
}

}  // namespace

TEST(DataSetScanner, SeesWhatTheReaderSeesInPiecesOfAnySize) {
    int scanned = 0;
    for (const auto& path : PydicomSamples()) {
        std::vector<uint8_t> bytes;
        std::string syntax;
        if (!DataSetOf(path.string(), bytes, syntax)) continue;
        SCOPED_TRACE(path.filename().string());
        ElementList expected;
        ParseState state = DataSetState(syntax);
        bool readable = ReadDatasetBytes(bytes.data(), bytes.size(), state, expected);
        for (const auto& e : expected) {  // as the network reader gives implicit data its VRs
            if (e->vr[0] == '\0') LookupVR(*e);
        }
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, bytes.size() + 1}) {
            SCOPED_TRACE(piece);
            Scan scan = ScanInPieces(bytes.data(), bytes.size(), syntax, piece);
            EXPECT_EQ(scan.whole, readable);
            if (!readable) continue;
            ExpectSameElements(expected, scan.recorder.list);
            EXPECT_TRUE(scan.recorder.bytes == bytes) << "headers and values do not give back the input";
            if (piece == 1 && bytes.size() > 4 * 1024 * 1024) break;  // byte by byte is slow on big files
        }
        ++scanned;
    }
    EXPECT_GT(scanned, 50) << "too few pydicom samples found";
}

TEST(DataSetScanner, InputNoReaderCanDecodeStopsIt) {
    const std::string implicitLE = "1.2.840.10008.1.2";
    const std::string explicitLE = "1.2.840.10008.1.2.1";
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string syntax;
        bool fedWhole;  // every piece is taken; the data only ends cut short
    };
    const Case cases[] = {
        {"header cut short", {0x08, 0x00, 0x18, 0x00, 0x02}, implicitLE, true},
        {"long-form header cut short", {0x7F, 0xE0, 0x10, 0x00, 'O', 'B', 0, 0, 4, 0}, explicitLE, true},
        {"value cut short", {0x08, 0x00, 0x18, 0x00, 4, 0, 0, 0, '1', '.'}, implicitLE, true},
        {"impossible length", {0x08, 0x00, 0x18, 0x00, 0, 0, 0, 0x80, 0, 0, 0, 0}, implicitLE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (std::size_t piece : {std::size_t{1}, c.bytes.size()}) {
            DataSetScanner scanner(DataSetState(c.syntax));
            Recorder recorder;
            bool ok = true;
            for (std::size_t at = 0; at < c.bytes.size() && ok; at += piece)
                ok = scanner.Feed(c.bytes.data() + at, std::min(piece, c.bytes.size() - at), recorder);
            EXPECT_EQ(ok, c.fedWhole);
            EXPECT_FALSE(ok && scanner.AtElementEnd());
            ElementList list;
            ParseState state = DataSetState(c.syntax);
            EXPECT_FALSE(ReadDatasetBytes(c.bytes.data(), c.bytes.size(), state, list));
        }
    }
}
