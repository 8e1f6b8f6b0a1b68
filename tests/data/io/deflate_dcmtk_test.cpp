// Deflated files between Pella, DCMTK and pydicom: what dcmconv deflates Pella reads as
// dcmconv's explicit VR copy; what `pella convert ... deflate` writes, dcmdump, dcmconv and
// pydicom read as the source; a small file that inflates past its limit is refused by the tool
// without its memory growing.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/meta_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

// Samples of every native encoding, with sequences, waveforms and pydicom's deflated file.
const char* kSamples[] = {"CT_small.dcm",     "MR_small_implicit.dcm", "MR_small_bigendian.dcm", "rtplan.dcm",
                          "waveform_ecg.dcm", "reportsi.dcm",          "image_dfl.dcm"};

// The data set elements of a file as tag, length and value bytes, in order; empty when unread.
std::vector<std::string> Elements(const std::string& file, bool headerOnly = false) {
    ElementList meta, data, header;
    ParseState state;
    bool read = headerOnly ? ReadHeaderForDump(file, header) : ReadPart10File(file, meta, data, state);
    if (!read) return {};
    std::vector<std::string> out;
    for (const auto& e : headerOnly ? header : data) {
        if (e->group == 0x0002) continue;
        char tag[32];
        std::snprintf(tag, sizeof tag, "(%04X,%04X) %d ", e->group, e->element, e->length);
        out.push_back(tag + (HasValue(*e) ? std::string(reinterpret_cast<char*>(e->value),
                                                        static_cast<std::size_t>(e->length))
                                          : std::string()));
    }
    return out;
}

}  // namespace

TEST(DeflatedFilesWithDcmtk, WhatDcmconvDeflatesReadsAsItsExplicitCopy) {
    TempDir dir;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        std::string deflated = dir.File("d.dcm"), explicitCopy = dir.File("e.dcm");
        ASSERT_TRUE(RunTool("dcmconv +td " + Quote(PydicomFile(name)) + " " + Quote(deflated)));
        ASSERT_TRUE(RunTool("dcmconv +te " + Quote(PydicomFile(name)) + " " + Quote(explicitCopy)));
        std::vector<std::string> ours = Elements(deflated);
        ASSERT_FALSE(ours.empty()) << LastFailure();
        EXPECT_TRUE(ours == Elements(explicitCopy));
        EXPECT_TRUE(Elements(deflated, true) == Elements(explicitCopy, true)) << "the header reader";
        std::string syntax;
        ElementList data;
        ASSERT_TRUE(ReadDatasetAndSyntax(deflated, data, syntax));
        EXPECT_EQ(syntax, kDeflatedLittleEndian);
    }
}

TEST(DeflatedFilesWithDcmtk, WhatPellaDeflatesDcmdumpAndPydicomReadAsTheSource) {
    TempDir dir;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        std::string source = PydicomFile(name), ours = dir.File("ours.dcm"),
                    inflated = dir.File("inflated.dcm");
        CommandResult converted = RunCommand({PELLA_CLI_PATH, "convert", source, ours, "deflate"}, true);
        ASSERT_EQ(converted.exitCode, 0) << converted.out;
        CommandResult dumped = RunCommand({"dcmdump", "-q", ours}, true);
        EXPECT_EQ(dumped.exitCode, 0) << dumped.out;
        EXPECT_NE(dumped.out.find("=DeflatedLittleEndianExplicit"), std::string::npos) << dumped.out;
        EXPECT_EQ(dumped.out.find("E:"), std::string::npos) << dumped.out;
        // pydicom inflates it to the source's data set, element by element.
        CommandResult compared = RunCommand(
            {"/usr/bin/python3", PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py", source, ours},
            true);
        EXPECT_EQ(compared.exitCode, 0) << compared.out;
        EXPECT_EQ(compared.out.substr(0, compared.out.find('\n')), kDeflatedLittleEndian);
        // DCMTK reads it as it reads the source: its explicit VR copies of both are the same.
        std::string fromSource = dir.File("from_source.dcm");
        ASSERT_TRUE(RunTool("dcmconv +te " + Quote(ours) + " " + Quote(inflated)));
        ASSERT_TRUE(RunTool("dcmconv +te " + Quote(source) + " " + Quote(fromSource)));
        std::vector<std::string> dcmtkRead = Elements(inflated);
        EXPECT_FALSE(dcmtkRead.empty());
        EXPECT_TRUE(dcmtkRead == Elements(fromSource));
    }
}

namespace {

// A Part 10 file whose deflated data set of 1037 bytes per MiB inflates to `mebibytes` MiB of
// zero bytes: one fully flushed block of a zero MiB, repeated, then the final block.
void WriteBomb(const std::string& file, int mebibytes) {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> zeros(1 << 20, 0), block(1 << 20), last(64);
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = block.data();
    z.avail_out = static_cast<uInt>(block.size());
    ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
    block.resize(block.size() - z.avail_out);
    z.next_out = last.data();
    z.avail_out = static_cast<uInt>(last.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    last.resize(last.size() - z.avail_out);
    deflateEnd(&z);

    ElementList meta;
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.3.4", kDeflatedLittleEndian, true);
    std::ofstream out(file, std::ios::binary);
    std::vector<uint8_t> head(132, 0);
    std::memcpy(head.data() + 128, "DICM", 4);
    std::vector<uint8_t> group = SerializeList(meta, true, false);
    head.insert(head.end(), group.begin(), group.end());
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    for (int i = 0; i < mebibytes; ++i)
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    out.write(reinterpret_cast<const char*>(last.data()), static_cast<std::streamsize>(last.size()));
}

}  // namespace

// 1.1 MB that would inflate to 1.1 GiB: past 1 GiB and past 64 times its size. The tool says
// why and its peak memory stays far below what the data set would take.
TEST(DeflatedFilesWithDcmtk, ABombIsRefusedWithoutTheMemoryItWouldTake) {
    TempDir dir;
    std::string bomb = dir.File("bomb.dcm");
    WriteBomb(bomb, 1100);
    ASSERT_LT(std::filesystem::file_size(bomb), 1200000u);
    for (const char* command : {"dump", "elements"}) {
        SCOPED_TRACE(command);
        CommandResult r = RunShell("/usr/bin/time -f 'peak %M KiB' " + Quote(PELLA_CLI_PATH) + " " + command +
                                   " " + Quote(bomb) + " 2>&1");
        EXPECT_NE(r.exitCode, 0) << r.out;
        EXPECT_NE(r.out.find("decompression bomb"), std::string::npos) << r.out;
        std::size_t at = r.out.rfind("peak ");
        ASSERT_NE(at, std::string::npos) << r.out;
        long peakKiB = std::stol(r.out.substr(at + 5));
        EXPECT_LT(peakKiB, 64 * 1024) << "the file would inflate to 1.1 GiB";
    }
}
