// `pella serve` takes every transfer syntax and files each object as it arrived: what DCMTK's
// storescp stores of pydicom's samples sent in their own syntaxes, it stores with the same data
// set bytes; big-endian and deflated objects get right index lines; a deflated bomb is refused.
// `pella store` sends deflated files as they stand, or inflated to a peer that takes no deflate.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/io/meta_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "services/storage/index_lines.h"
#include "services/storage/store.h"
#include "support/data_set_builder.h"
#include "support/log_file.h"
#include "support/serve_process.h"
#include "support/storescp_run.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The data set's bytes of a Part 10 file as they stand after the meta group, and its syntax.
struct StoredDataSet {
    std::string syntax;
    std::vector<uint8_t> bytes;
};

StoredDataSet DataSetOf(const std::string& file) {
    StoredDataSet out;
    std::vector<uint8_t> all = ReadAll(file);
    if (all.size() < 144) return out;
    uint32_t groupLength = all[140] | (all[141] << 8) | (all[142] << 16) | (uint32_t(all[143]) << 24);
    std::size_t start = 144 + groupLength;
    if (start > all.size()) return out;
    out.bytes.assign(all.begin() + static_cast<long>(start), all.end());
    DataSetFront front;
    if (ReadDataSetFront(file, front)) out.syntax = front.syntax;
    return out;
}

// Every Part 10 file below `folder` by its SOP Instance UID.
std::map<std::string, std::string> FilesByInstance(const std::string& folder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        if (!entry.is_regular_file() || entry.path().string().find(".incoming") != std::string::npos)
            continue;
        DataSetFront front;
        if (ReadDataSetFront(entry.path().string(), front))
            out[ElementUid(front.elements, 0x0008, 0x0018)] = entry.path().string();
    }
    return out;
}

// The image index line naming the instance, from any series folder below `folder`.
std::string ImageLine(const std::string& folder, const std::string& instance) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        if (entry.path().filename() != kImageIndexName) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        for (std::string line; std::getline(in, line);)
            if (IndexLineField(line, 3) == instance) return line;
    }
    return "";
}

// A value as dcmdump reads it from the file.
std::string DcmdumpValue(const std::string& file, const std::string& tag) {
    std::string out = RunCommand({"dcmdump", "-q", "-s", "+P", tag, file}).out;
    std::size_t open = out.find('['), close = out.find(']');
    return open == std::string::npos || close == std::string::npos ? ""
                                                                   : out.substr(open + 1, close - open - 1);
}

// The SOP Class UID as dcmdump reads it (its number, not its name), from a file or a bare data set.
std::string DcmdumpClass(const std::string& file) {
    std::string out = RunCommand({"dcmdump", "-q", "-Un", "-s", "+P", "0008,0016", file}).out;
    std::size_t open = out.find('['), close = out.find(']');
    return open == std::string::npos || close == std::string::npos ? ""
                                                                   : out.substr(open + 1, close - open - 1);
}

CommandResult Storescu(int port, const std::vector<std::string>& options, const std::string& file) {
    std::vector<std::string> argv = {"storescu", "-nh", "-aec", "ANY"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"127.0.0.1", std::to_string(port), file});
    return RunCommand(argv, true);
}

// A storescu association profile with one presentation context: the class in the syntax.
std::string OneContextProfile(const TempDir& dir, const std::string& sopClass, const std::string& syntax) {
    std::string file = dir.File("one_context.cfg");
    std::ofstream out(file);
    out << "[[TransferSyntaxes]]\n[Own]\nTransferSyntax1 = " << syntax << "\n\n"
        << "[[PresentationContexts]]\n[Contexts]\nPresentationContext1 = " << sopClass << "\\Own\n\n"
        << "[[Profiles]]\n[Default]\nPresentationContexts = Contexts\n";
    return file;
}

}  // namespace

// Each sample goes on its own, on one context offering its own syntax only, first to storescp
// (taking every syntax it knows, writing what it reads unchanged), then to pella serve. A sample
// without a meta group goes in explicit VR little endian.
TEST(ServeEverySyntax, StoresEverySampleStorescpStoresWithTheSameDataSet) {
    StorescpRun storescp;
    ASSERT_TRUE(storescp.Start({"+xa", "+B"}));
    TempDir dir;
    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    int storedByStorescp = 0;
    std::map<std::string, int> syntaxes;
    for (const fs::path& sample : PydicomSamples()) {
        SCOPED_TRACE(sample.filename().string());
        DataSetFront front;
        std::string syntax = kExplicitLittleEndian, sopClass = DcmdumpClass(sample.string());
        if (ReadDataSetFront(sample.string(), front)) syntax = front.syntax;
        if (sopClass.empty()) continue;  // no SOP class to send it as
        std::vector<std::string> profile = {"-xf", OneContextProfile(dir, sopClass, syntax), "Default"};
        fs::remove_all(storescp.Out());
        fs::create_directories(storescp.Out());
        Storescu(std::stoi(storescp.Port()), profile, sample.string());
        std::map<std::string, std::string> theirs = FilesByInstance(storescp.Out());
        if (theirs.empty()) continue;  // storescp did not take it either
        ++storedByStorescp;
        Storescu(serve.port, profile, sample.string());
        std::map<std::string, std::string> ours = FilesByInstance(dir.File("db"));
        for (const auto& [instance, file] : theirs) {
            ASSERT_TRUE(ours.count(instance)) << "storescp stored it, pella serve did not";
            StoredDataSet a = DataSetOf(file), b = DataSetOf(ours[instance]);
            EXPECT_EQ(b.syntax, a.syntax);
            EXPECT_TRUE(a.bytes == b.bytes)
                << "data sets of " << a.bytes.size() << " and " << b.bytes.size() << " bytes differ";
            ++syntaxes[TransferSyntaxName(b.syntax)];
        }
    }
    RecordProperty("storedByStorescp", storedByStorescp);
    EXPECT_GE(storedByStorescp, 50);
    // The samples cover the native syntaxes, deflate and the compressed families.
    for (const char* uid :
         {kExplicitLittleEndian, kImplicitLittleEndian, kExplicitBigEndian, kDeflatedLittleEndian,
          kJpegBaseline, PELLA_RLE_LOSSLESS, PELLA_JPEG_2000_LOSSLESS, PELLA_JPEG_LS_LOSSLESS})
        EXPECT_GT(syntaxes[TransferSyntaxName(uid)], 0) << TransferSyntaxName(uid);
}

// Big-endian and deflated objects: the index lines hold their numbers and texts as any other's.
TEST(ServeEverySyntax, IndexLinesOfBigEndianAndDeflatedObjectsAreRight) {
    TempDir dir;
    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    std::string deflated = dir.File("ct_dfl.dcm");
    ASSERT_TRUE(RunTool("dcmconv +td " + Quote(PydicomFile("CT_small.dcm")) + " " + Quote(deflated)));
    struct Case {
        std::string file;
        std::vector<std::string> options;
        const char* rows;
        const char* sopClass;
    } cases[] = {
        {PydicomFile("MR_small_bigendian.dcm"), {"-xb"}, "64", "1.2.840.10008.5.1.4.1.1.4"},
        {deflated, {"-xd"}, "128", "1.2.840.10008.5.1.4.1.1.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CommandResult sent = Storescu(serve.port, c.options, c.file);
        ASSERT_EQ(sent.exitCode, 0) << sent.out;
        std::string instance = InstanceUid(c.file);
        std::string line = ImageLine(dir.File("db"), instance);
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(IndexLineField(line, 10), c.rows) << line;
        EXPECT_EQ(IndexLineField(line, 11), c.rows) << line;
        EXPECT_EQ(IndexLineField(line, 9), c.sopClass) << line;
        EXPECT_EQ(IndexLineField(line, 8), DcmdumpValue(c.file, "0020,1041")) << line;  // a DS text
        std::map<std::string, std::string> ours = FilesByInstance(dir.File("db"));
        ASSERT_TRUE(ours.count(instance));
        EXPECT_EQ(DataSetOf(ours[instance]).syntax,
                  c.options[0] == "-xb" ? kExplicitBigEndian : kDeflatedLittleEndian);
    }
}

// 30 KB that inflate to 30 MiB, sent deflated to a server taking objects of up to 4 MiB: the
// association is aborted, nothing is filed, and the log says why.
TEST(ServeEverySyntax, ADeflatedBombIsRefusedAndNothingFiled) {
    TempDir dir;
    ServeProcess serve(dir.File("db"), {"--max-object-size", "4M"}, dir.File("serve.log"));
    ASSERT_TRUE(serve.started);
    ElementList data, meta;
    AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(data, 0x0008, 0x0018, "UI", "1.2.826.0.1.3680043.2.7777.9.1");
    AddText(data, 0x0020, 0x000D, "UI", "1.2.826.0.1.3680043.2.7777.9.2");
    AddText(data, 0x0020, 0x000E, "UI", "1.2.826.0.1.3680043.2.7777.9.3");
    std::vector<uint8_t> zeros(30u << 20, 0);
    data.Append(NewElement(0x0009, 0x1010, static_cast<int32_t>(zeros.size()), zeros.data(), "OB"));
    BuildMetaHeader(meta, "1.2.840.10008.5.1.4.1.1.7", "1.2.826.0.1.3680043.2.7777.9.1",
                    kDeflatedLittleEndian, true);
    std::string bomb = dir.File("bomb.dcm");
    ASSERT_TRUE(WritePart10File(bomb, &meta, data, true, false));
    ASSERT_LT(fs::file_size(bomb), 100000u);
    CommandResult sent = Storescu(serve.port, {"-xd"}, bomb);
    EXPECT_NE(sent.exitCode, 0) << sent.out;
    EXPECT_TRUE(FilesByInstance(dir.File("db")).empty());
    EXPECT_NE(ReadText(dir.File("serve.log")).find("decompression bomb"), std::string::npos)
        << ReadText(dir.File("serve.log"));
}

// pella store: a deflated file goes as it stands to a peer taking deflate, inflated to explicit
// VR little endian to one that does not; either way the peer's copy is the source's data set.
TEST(ServeEverySyntax, StoreSendsDeflatedFilesAsTheyStandOrInflated) {
    TempDir dir;
    std::string deflated = dir.File("ct_dfl.dcm");
    ASSERT_TRUE(RunTool("dcmconv +td " + Quote(PydicomFile("CT_small.dcm")) + " " + Quote(deflated)));
    struct Case {
        std::vector<std::string> storescpOptions;
        const char* arrives;
    } cases[] = {
        {{"+xd"}, kDeflatedLittleEndian},
        {{}, kExplicitLittleEndian},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arrives);
        StorescpRun peer;
        std::vector<std::string> options = c.storescpOptions;
        options.push_back("+B");
        ASSERT_TRUE(peer.Start(options));
        std::string calling = "PELLA";
        EXPECT_TRUE(StoreSCU("127.0.0.1", peer.Port(), calling, "STORESCP", deflated, "", false))
            << LastFailure();
        CommandResult compared = peer.Compare(PydicomFile("CT_small.dcm"));
        EXPECT_EQ(compared.exitCode, 0) << compared.out;
        EXPECT_EQ(compared.out.substr(0, compared.out.find('\n')), c.arrives);
    }
}
