// Round trips through the storage server: pella store, pella send-series and DCMTK's storescu
// send real files to pella serve; every object must come back equal, with its index lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/registry/sop_classes.h"
#include "net/acse/acceptor.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char* kScripts = PELLA_SOURCE_DIR "/tests/services/scripts/";

// Samples the server takes as they are: a class of its table, a little-endian or JPEG lossless
// syntax, one file per SOP Instance UID. Copied into `folder`.
int CopyServableSamples(const fs::path& folder) {
    fs::create_directories(folder);
    std::set<std::string> seen;
    int copied = 0;
    for (const auto& path : PydicomSamples()) {
        ElementList data;
        std::string syntax;
        if (!ReadDatasetAndSyntax(path.string(), data, syntax)) continue;
        if (syntax != "1.2.840.10008.1.2" && syntax != "1.2.840.10008.1.2.1" &&
            syntax != "1.2.840.10008.1.2.4.70")
            continue;
        if (!IsServedSopClass(GetElementText(data, 0x0008, 0x0016))) continue;
        if (!seen.insert(GetElementText(data, 0x0008, 0x0018)).second) continue;
        fs::copy_file(path, folder / path.filename());
        ++copied;
    }
    return copied;
}

int Lines(const fs::path& file) {
    std::ifstream in(file);
    return static_cast<int>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

std::string Compare(const fs::path& sources, const fs::path& stored) {
    int code = -1;
    std::string out = RunCommand("/usr/bin/python3 " + std::string(kScripts) + "compare_folders.py " +
                                     Quote(sources.string()) + " " + Quote(stored.string()) + " 2>&1",
                                 &code);
    return code == 0 ? "" : out + " (exit " + std::to_string(code) + ")";
}

}  // namespace

TEST(ServeRoundTrip, PellaStoreAndSendSeriesDeliverEverySample) {
    TempDir dir;
    fs::path samples = dir.Path() / "samples";
    int count = CopyServableSamples(samples);
    ASSERT_GE(count, 6);

    ServeProcess byStore(dir.File("by-store"));
    ASSERT_TRUE(byStore.started);
    std::string files;
    for (const auto& entry : fs::directory_iterator(samples)) files += Quote(entry.path().string()) + " ";
    int code = -1;
    std::string out = RunCommand(std::string(PELLA_CLI_PATH) + " store --no-progress 127.0.0.1 " +
                                     std::to_string(byStore.port) + " " + files + " 2>&1",
                                 &code);
    EXPECT_EQ(code, 0) << out;
    byStore.process.Stop();
    EXPECT_EQ(Compare(samples, dir.File("by-store")), "");

    ServeProcess bySeries(dir.File("by-series"));
    ASSERT_TRUE(bySeries.started);
    out = RunCommand(std::string(PELLA_CLI_PATH) + " send-series --no-progress 127.0.0.1 " +
                         std::to_string(bySeries.port) + " " + Quote(samples.string()) + " 2>&1",
                     &code);
    EXPECT_EQ(code, 0) << out;
    bySeries.process.Stop();
    EXPECT_EQ(Compare(samples, dir.File("by-series")), "");
}

// The server announces the largest PDU it takes (--max-pdu, 128 KiB unless given); storescu sends
// PDUs of that size or of its own smaller limit (128 KiB), and every object arrives whole.
TEST(ServeRoundTrip, EveryAnnouncedPduSizeAndSmallerPeerPdusDeliverWholeObjects) {
    TempDir dir;
    fs::path samples = dir.Path() / "samples";
    CopyServableSamples(samples);
    // storescu proposes uncompressed syntaxes only: the JPEG samples stay out.
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        ElementList data;
        std::string syntax;
        if (ReadDatasetAndSyntax(entry.path().string(), data, syntax) && syntax != "1.2.840.10008.1.2.4.70")
            ++kept;
        else
            fs::remove(entry.path());
    }
    ASSERT_GE(kept, 4);
    struct Case {
        std::vector<std::string> serveOptions;
        std::string storescuOptions;
        std::string sendPdv;  // what storescu reports it sends: the PDU less its 12 header bytes
    } cases[] = {
        {{}, "", "131060"},
        {{"--max-pdu", "4096"}, "", "4084"},
        {{"--max-pdu", "8K"}, "", "8180"},
        {{"--max-pdu", "16M"}, "", "131060"},  // storescu's own limit on what it sends
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = dir.File("db" + std::to_string(++n));
        SCOPED_TRACE(folder);
        ServeProcess serve(folder, c.serveOptions);
        ASSERT_TRUE(serve.started);
        int code = -1;
        std::string out =
            RunCommand("TCP_NODELAY=1 storescu -v " + c.storescuOptions + " 127.0.0.1 " +
                           std::to_string(serve.port) + " +sd " + Quote(samples.string()) + " 2>&1",
                       &code);
        EXPECT_EQ(code, 0) << out;
        EXPECT_NE(out.find("(Max Send PDV: " + c.sendPdv + ")"), std::string::npos) << out;
        serve.process.Stop();
        EXPECT_EQ(Compare(samples, folder), "");
    }
    int code = -1;
    std::string out = RunCommand(
        std::string(PELLA_CLI_PATH) + " serve --max-pdu 100 --dir " + Quote(dir.File("never")) + " 2>&1",
        &code);
    EXPECT_EQ(code, 2) << out;
    EXPECT_NE(out.find("--max-pdu"), std::string::npos) << out;
}

TEST(ServeRoundTrip, StorescuSeriesOf200IsFiledAndIndexed) {
    TempDir dir;
    fs::path series = dir.Path() / "series";
    fs::create_directories(series);
    int code = -1;
    std::string made = RunCommand(
        "/usr/bin/python3 -c \"import sys, pydicom; from pydicom.data import get_testdata_file; "
        "from pydicom.uid import generate_uid\n"
        "ds = pydicom.dcmread(get_testdata_file('CT_small.dcm'))\n"
        "for i in range(200):\n"
        "    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()\n"
        "    ds.InstanceNumber = i + 1\n"
        "    ds.save_as(sys.argv[1] + '/ct%03d.dcm' % i, write_like_original=False)\" " +
            Quote(series.string()) + " 2>&1",
        &code);
    ASSERT_EQ(code, 0) << made;

    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    std::string out = RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(serve.port) + " +sd " +
                                     Quote(series.string()) + " 2>&1",
                                 &code);
    EXPECT_EQ(code, 0) << out;
    serve.process.Stop();

    EXPECT_EQ(Compare(series, dir.File("db")), "");
    EXPECT_EQ(Lines(dir.File("db/KPStudy.dir")), 1);
    fs::path study;
    for (const auto& entry : fs::directory_iterator(dir.File("db")))
        if (entry.is_directory() && entry.path().filename() != ".incoming") study = entry.path();
    ASSERT_FALSE(study.empty());
    EXPECT_EQ(Lines(study / "Series.dir"), 1);
    fs::path seriesFolder;
    for (const auto& entry : fs::directory_iterator(study))
        if (entry.is_directory()) seriesFolder = entry.path();
    EXPECT_EQ(Lines(seriesFolder / "Image.dir"), 200);
    // Field 3 of every image line names a file of the series folder.
    std::ifstream index(seriesFolder / "Image.dir");
    std::string line;
    int named = 0;
    while (std::getline(index, line)) {
        std::size_t first = line.find(','), second = line.find(',', first + 1),
                    third = line.find(',', second + 1);
        std::string sop = line.substr(second + 1, third - second - 1);
        named += fs::exists(seriesFolder / (sop + ".dcm")) ? 1 : 0;
    }
    EXPECT_EQ(named, 200);
}

// A file whose undefined-length Referenced Series Sequence holds another study's UIDs before its
// own travels flat over the network; it is filed under its own study, which alone is indexed.
TEST(ServeRoundTrip, NestedUidsNeverPlaceAnObject) {
    TempDir dir;
    int code = -1;
    std::string made = RunCommand(
        "/usr/bin/python3 -c \"import sys, pydicom; from pydicom.data import get_testdata_file\n"
        "from pydicom.dataset import Dataset; from pydicom.sequence import Sequence\n"
        "ds = pydicom.dcmread(get_testdata_file('CT_small.dcm'))\n"
        "item = Dataset(); item.StudyInstanceUID = '9.9.9'; item.SeriesInstanceUID = '9.9.9.1'\n"
        "item.is_undefined_length_sequence_item = True\n"
        "ds.ReferencedSeriesSequence = Sequence([item])\n"
        "ds[0x00081115].is_undefined_length = True\n"
        "ds.save_as(sys.argv[1], write_like_original=False)\" " +
            Quote(dir.File("nested.dcm")) + " 2>&1",
        &code);
    ASSERT_EQ(code, 0) << made;

    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    std::string out =
        RunCommand(std::string(PELLA_CLI_PATH) + " store --no-progress 127.0.0.1 " +
                       std::to_string(serve.port) + " " + Quote(dir.File("nested.dcm")) + " 2>&1",
                   &code);
    EXPECT_EQ(code, 0) << out;
    serve.process.Stop();
    const std::string study = "1.3.6.1.4.1.5962.1.2.1.20040119072730.12322";
    EXPECT_FALSE(fs::exists(dir.File("db/9.9.9")));
    EXPECT_EQ(Lines(dir.File("db/KPStudy.dir")), 1);
    EXPECT_TRUE(fs::exists(dir.File("db/" + study +
                                    "/1.3.6.1.4.1.5962.1.3.1.1.20040119072730.12322/"
                                    "1.3.6.1.4.1.5962.1.1.1.1.1.20040119072730.12322.dcm")));
}
