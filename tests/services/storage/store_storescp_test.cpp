// The storage user and series sending against DCMTK's storescp: every object arrives, and the
// data set storescp stored equals the source's, element by element, pixel data included.
#include <gtest/gtest.h>

#include <fstream>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "log/protocol_log.h"
#include "services/storage/series.h"
#include "services/storage/store.h"
#include "support/log_file.h"
#include "support/run_command.h"
#include "support/storescp_run.h"

using namespace pella;
using namespace testing_support;

namespace {

bool Store(const StorescpRun& peer, const std::string& file, const std::string& wanted = "",
           bool convert = false) {
    std::string calling = "PELLA";
    return StoreSCU("127.0.0.1", peer.Port(), calling, "STORESCP", file, wanted, convert);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

TEST(StoreSCUAgainstStorescp, EveryObjectArrivesAsItWasSent) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    // Images and objects without pixel data, explicit and implicit VR, with sequences.
    const char* samples[] = {"CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm", "rtplan.dcm",
                             "reportsi.dcm", "test-SR.dcm",  "waveform_ecg.dcm",      "rtdose.dcm"};
    for (const char* name : samples) {
        EXPECT_TRUE(Store(peer, PydicomFile(name))) << name << ": " << LastFailure();
        CommandResult compared = peer.Compare(PydicomFile(name));
        EXPECT_EQ(compared.exitCode, 0) << name << "\n" << compared.out;
    }
    // The comparison does see a difference: a stored copy compared with another source.
    CommandResult other = RunCommand({"dcmodify", "-nb", "-m", "(0010,0010)=Changed^Name",
                                      peer.Out() + "/CT." + InstanceUid(PydicomFile("CT_small.dcm"))});
    ASSERT_EQ(other.exitCode, 0);
    EXPECT_EQ(peer.Compare(PydicomFile("CT_small.dcm")).exitCode, 1);
}

namespace {

void SetUS(ElementList& list, uint16_t element, uint16_t value) {
    DataElement* e = FindElement(list, 0x0028, element);
    ASSERT_TRUE(e != nullptr && e->length == 2);
    e->value[0] = static_cast<uint8_t>(value);
    e->value[1] = static_cast<uint8_t>(value >> 8);
}

// CT_small.dcm grown to a 3072 x 4096 16-bit image (24 MiB of pixel data, a pattern that
// changes along the whole value), written as explicit VR little endian.
void WriteLargeImage(const std::string& file) {
    ElementList meta, data;
    ParseState state;
    ASSERT_TRUE(ReadPart10File(PydicomFile("CT_small.dcm"), meta, data, state));
    SetUS(data, 0x0010, 3072);
    SetUS(data, 0x0011, 4096);
    std::vector<uint8_t> pixels(3072u * 4096u * 2u);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 7) ^ (i >> 13));
    for (auto& element : data.items)
        if (element->group == 0x7FE0 && element->element == 0x0010)
            element = NewElement(0x7FE0, 0x0010, static_cast<int32_t>(pixels.size()), pixels.data(), "OW");
    ASSERT_TRUE(WritePart10File(file, &meta, data, true, false));
}

}  // namespace

// pella store of a large object sends it from the file as it stands (the log says so), and
// storescp's copy equals it.
TEST(StoreSCUAgainstStorescp, LargeObjectIsSentFromTheFileAndArrivesEqual) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    std::string file = peer.Dir().File("large.dcm");
    WriteLargeImage(file);
    std::string log = peer.Dir().File("store.log");
    CommandResult run = RunCommand(
        {PELLA_CLI_PATH, "store", "--log", log, "--log-level", "2", "127.0.0.1", peer.Port(), file}, true);
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(ReadText(log).find("bytes from byte"), std::string::npos);
    CommandResult compared = peer.Compare(file);
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    // The comparison sees a change in the pixel data's last byte (data set trailing padding
    // follows it, as in CT_small.dcm; its explicit header is 12 bytes).
    DataSetFront front;
    ASSERT_TRUE(ReadDataSetFront(file, front));
    std::fstream edit(file, std::ios::in | std::ios::out | std::ios::binary);
    edit.seekp(static_cast<std::streamoff>(front.tailOffset + 12 + 3072u * 4096u * 2u - 1));
    edit.put('\x7F');
    edit.close();
    EXPECT_EQ(peer.Compare(file).exitCode, 1);
}

TEST(StoreSCUAgainstStorescp, ExplicitFileForAnImplicitOnlyPeer) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"+xi"}));  // accepts implicit VR little endian only
    // Only the implicit context is accepted: the headers are re-encoded, the values go as read.
    ASSERT_TRUE(Store(peer, PydicomFile("CT_small.dcm"))) << LastFailure();
    CommandResult asRead = peer.Compare(PydicomFile("CT_small.dcm"));
    EXPECT_EQ(asRead.exitCode, 0) << asRead.out;
    EXPECT_EQ(FirstLine(asRead.out), "1.2.840.10008.1.2");
    // One context per syntax, the file's own first, so the peer cannot pick among them.
    auto proposals = peer.Proposals();
    ASSERT_EQ(proposals.size(), 2u);
    EXPECT_EQ(proposals[0].second, std::vector<std::string>({"LittleEndianExplicit"}));
    EXPECT_EQ(proposals[1].second, std::vector<std::string>({"LittleEndianImplicit"}));
}

// A peer that accepts both little-endian contexts gets the file's own syntax, whatever it
// prefers.
TEST(StoreSCUAgainstStorescp, BothContextsAcceptedSendsTheFilesOwnSyntax) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(Store(peer, PydicomFile("MR_small_implicit.dcm"))) << LastFailure();
    CommandResult compared = peer.Compare(PydicomFile("MR_small_implicit.dcm"));
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    EXPECT_EQ(FirstLine(compared.out), "1.2.840.10008.1.2");
}

TEST(StoreSCUAgainstStorescp, ImplicitFileForAnExplicitPreferringPeer) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"+xe"}));
    ASSERT_TRUE(Store(peer, PydicomFile("MR_small_implicit.dcm"), "1.2.840.10008.1.2.1")) << LastFailure();
    CommandResult compared = peer.Compare(PydicomFile("MR_small_implicit.dcm"));
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    EXPECT_EQ(FirstLine(compared.out), "1.2.840.10008.1.2.1");
}

TEST(StoreSCUAgainstStorescp, NonImageClassesAreNeverOfferedTheWantedSyntax) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    EXPECT_TRUE(Store(peer, PydicomFile("reportsi.dcm"), kJpegLossless)) << LastFailure();  // Basic Text SR
    EXPECT_TRUE(Store(peer, PydicomFile("rtplan.dcm"), kJpegLossless)) << LastFailure();
    EXPECT_TRUE(Store(peer, PydicomFile("CT_small.dcm"), kJpegLossless)) << LastFailure();
    // One context per syntax, the file's own first: SR explicit, implicit; RT plan implicit,
    // explicit; CT the wanted syntax first, then explicit and implicit.
    using Proposal = std::pair<std::string, std::vector<std::string>>;
    const std::vector<Proposal> expected = {
        {"BasicTextSRStorage", {"LittleEndianExplicit"}},
        {"BasicTextSRStorage", {"LittleEndianImplicit"}},
        {"RTPlanStorage", {"LittleEndianImplicit"}},
        {"RTPlanStorage", {"LittleEndianExplicit"}},
        {"CTImageStorage", {"JPEGLossless:Non-hierarchical-1stOrderPrediction"}},
        {"CTImageStorage", {"LittleEndianExplicit"}},
        {"CTImageStorage", {"LittleEndianImplicit"}},
    };
    EXPECT_EQ(peer.Proposals(), expected);
}

TEST(StoreSCUAgainstStorescp, JpegLosslessWantedAndConvertedRestoresTheSourcePixels) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"+xs"}));  // prefers JPEG lossless
    ASSERT_TRUE(Store(peer, PydicomFile("CT_small.dcm"), kJpegLossless, true)) << LastFailure();
    CommandResult stored = peer.Compare(PydicomFile("CT_small.dcm"));
    EXPECT_EQ(FirstLine(stored.out), kJpegLossless);
    // dcmdjpeg decompresses the stored copy; its pixels equal the source's.
    std::string file = peer.Out() + "/CT." + InstanceUid(PydicomFile("CT_small.dcm"));
    std::string plain = peer.Dir().File("decompressed");
    std::filesystem::create_directories(plain);
    ASSERT_EQ(RunCommand({"dcmdjpeg", file, plain + "/ct.dcm"}).exitCode, 0);
    CommandResult compared =
        RunCommand({"/usr/bin/python3", PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py",
                    PydicomFile("CT_small.dcm"), plain});
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
}

TEST(StoreSCUAgainstStorescp, BigEndianFileGoesAsItStandsOrIsRefusedWithTheReason) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());  // accepts big endian
    EXPECT_TRUE(Store(peer, PydicomFile("MR_small_bigendian.dcm"))) << LastFailure();
    CommandResult compared = peer.Compare(PydicomFile("MR_small_bigendian.dcm"));
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
    EXPECT_EQ(FirstLine(compared.out), "1.2.840.10008.1.2.2");
    auto proposals = peer.Proposals();
    ASSERT_EQ(proposals.size(), 1u);
    EXPECT_EQ(proposals[0].second, std::vector<std::string>({"BigEndianExplicit"}));

    // A peer taking implicit VR only: on a little-endian context the values would arrive
    // corrupt, so without conversion nothing is sent.
    StorescpRun implicitOnly;
    ASSERT_TRUE(implicitOnly.Start({"+xi"}));
    EXPECT_FALSE(Store(implicitOnly, PydicomFile("MR_small_bigendian.dcm")));
    EXPECT_NE(LastFailure().find("context 1 (MR Image Storage) refused: transfer syntaxes not supported"),
              std::string::npos)
        << LastFailure();
    EXPECT_EQ(implicitOnly.Compare(PydicomFile("MR_small_bigendian.dcm")).exitCode, 2);
}

TEST(StoreSCUAgainstStorescp, BigEndianFileConvertedArrivesEqual) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    EXPECT_TRUE(Store(peer, PydicomFile("MR_small_bigendian.dcm"), "", true)) << LastFailure();
    CommandResult compared = peer.Compare(PydicomFile("MR_small_bigendian.dcm"));
    EXPECT_EQ(compared.exitCode, 0) << compared.out;
}

TEST(StoreSCUAgainstStorescp, RefusedAssociationOrNoListenerFails) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"--refuse"}));
    EXPECT_FALSE(Store(peer, PydicomFile("CT_small.dcm")));
    EXPECT_NE(LastFailure().find("Association Rejected"), std::string::npos) << LastFailure();
    peer.Stop();
    EXPECT_FALSE(Store(peer, PydicomFile("CT_small.dcm")));
    EXPECT_NE(LastFailure().find("Connection to 127.0.0.1"), std::string::npos) << LastFailure();
}

// ---- series ----

namespace {

// A series folder of `count` copies of CT_small with new instance UIDs; returns their paths.
std::vector<std::string> MakeSeries(const std::string& folder, int count,
                                    const std::string& sample = "CT_small.dcm") {
    std::filesystem::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        std::string file = folder + "/img" + std::to_string(i) + ".dcm";
        if (!CopyWithNewInstance(PydicomTestFiles() / sample, file)) return {};
        files.push_back(file);
    }
    return files;
}

// Renames each file to "<instance uid>.dcm" and writes an image index naming them in `order`.
std::vector<std::string> IndexSeries(const std::string& folder, std::vector<std::string> files,
                                     const std::vector<std::size_t>& order) {
    std::ofstream index(folder + "/Image.dir", std::ios::binary);
    std::vector<std::string> named;
    for (std::string& file : files) {
        std::string uid = InstanceUid(file);
        std::string target = folder + "/" + uid + ".dcm";
        std::filesystem::rename(file, target);
        named.push_back(target);
    }
    for (std::size_t i : order)
        index << "1," << i + 1 << "," << InstanceUid(named[i]) << ",20240101,120000\r\n";
    return named;
}

struct Collected {
    std::vector<StoreOutcome> outcomes;
    OutcomeSink Sink() {
        return [this](const StoreOutcome& o) { outcomes.push_back(o); };
    }
};

}  // namespace

// A storescp and a series folder beside it.
class SendSeriesAgainstStorescp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Start());
        folder = peer.Dir().File("series");
    }
    SeriesResult SendReporting() {
        StoreTarget target{"127.0.0.1", peer.Port(), "PELLA", "STORESCP", "", false};
        return SendSeriesReporting(folder, target, got.Sink());
    }
    bool SendExported(const std::string& wanted = "") {
        std::string calling;
        return SendSeries("127.0.0.1", peer.Port(), calling, "STORESCP", folder, wanted, false);
    }

    StorescpRun peer;
    std::string folder;
    Collected got;
};

TEST_F(SendSeriesAgainstStorescp, ListedFolderGoesOnOneAssociationPart10FilesOnly) {
    auto files = MakeSeries(folder, 3);
    ASSERT_EQ(files.size(), 3u);
    std::ofstream(folder + "/notes.txt") << "not DICOM";
    std::filesystem::create_directories(folder + "/sub");
    EXPECT_TRUE(SendExported()) << LastFailure();
    EXPECT_EQ(peer.Associations(), 1);
    for (const auto& file : files) {
        CommandResult compared = peer.Compare(file);
        EXPECT_EQ(compared.exitCode, 0) << file << "\n" << compared.out;
    }
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(peer.Out()), std::filesystem::directory_iterator()),
        3);
}

TEST_F(SendSeriesAgainstStorescp, ImageIndexNamesTheFilesAndTheirOrder) {
    LogSettingsGuard guard;
    auto named = IndexSeries(folder, MakeSeries(folder, 4), {2, 0, 1});  // the 4th is not indexed
    ASSERT_EQ(named.size(), 4u);
    std::string log = peer.Dir().File("pella.log");
    SetLogSettings(2, log);
    SeriesResult result = SendReporting();
    EXPECT_TRUE(result.allStored);
    EXPECT_TRUE(result.lastStored);
    EXPECT_EQ(result.files, 3u);
    EXPECT_EQ(peer.Associations(), 1);
    ASSERT_EQ(got.outcomes.size(), 3u);
    const std::size_t order[] = {2, 0, 1};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got.outcomes[i].file, named[order[i]]);
        EXPECT_EQ(peer.Compare(named[order[i]]).exitCode, 0) << named[order[i]];
    }
    EXPECT_EQ(peer.Compare(named[3]).exitCode, 2);  // not in the index: not sent
    // The sent commands name the instances in index order.
    std::string text = ReadText(log);
    std::size_t a = text.find(InstanceUid(named[2])), b = text.find(InstanceUid(named[0])),
                c = text.find(InstanceUid(named[1]));
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST_F(SendSeriesAgainstStorescp, MissingMiddleFileIsReportedAndTheLastDecides) {
    auto named = IndexSeries(folder, MakeSeries(folder, 3), {0, 1, 2});
    ASSERT_EQ(named.size(), 3u);
    std::filesystem::remove(named[1]);
    SeriesResult result = SendReporting();
    EXPECT_FALSE(result.allStored);
    EXPECT_TRUE(result.lastStored);
    ASSERT_EQ(got.outcomes.size(), 3u);
    EXPECT_TRUE(got.outcomes[0].Stored());
    EXPECT_EQ(got.outcomes[1].status, -1);
    EXPECT_EQ(got.outcomes[1].reason, "file not found");
    EXPECT_TRUE(got.outcomes[2].Stored());
    // The exported result is the last file's.
    EXPECT_TRUE(SendExported());
}

TEST_F(SendSeriesAgainstStorescp, IndexLineOutsideTheFolderIsNotFollowed) {
    auto named = IndexSeries(folder, MakeSeries(folder, 1), {0});
    ASSERT_EQ(named.size(), 1u);
    std::string outside = peer.Dir().File("outside.dcm");
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", outside));
    std::ofstream(folder + "/Image.dir", std::ios::app | std::ios::binary) << "1,2,../outside,20240101\r\n";
    SeriesResult result = SendReporting();
    EXPECT_FALSE(result.allStored);
    EXPECT_FALSE(result.lastStored);
    ASSERT_EQ(got.outcomes.size(), 2u);
    EXPECT_TRUE(got.outcomes[0].Stored());
    EXPECT_FALSE(got.outcomes[1].Stored());
    EXPECT_NE(got.outcomes[1].reason.find("names no file inside the series folder"), std::string::npos);
    EXPECT_EQ(peer.Compare(outside).exitCode, 2);
    EXPECT_EQ(peer.Compare(named[0]).exitCode, 0);
}

TEST_F(SendSeriesAgainstStorescp, UnreadableFirstFileIsReportedAndTheRestIsSent) {
    auto named = IndexSeries(folder, MakeSeries(folder, 2), {0, 1});
    ASSERT_EQ(named.size(), 2u);
    std::filesystem::remove(named[0]);
    SeriesResult result = SendReporting();
    EXPECT_FALSE(result.allStored);
    EXPECT_TRUE(result.lastStored);
    ASSERT_EQ(got.outcomes.size(), 2u);
    EXPECT_EQ(got.outcomes[0].reason, "file not found");
    EXPECT_TRUE(got.outcomes[1].Stored());
    EXPECT_EQ(peer.Associations(), 1);
    EXPECT_EQ(peer.Compare(named[1]).exitCode, 0);
    // An empty folder: nothing to send, a failure.
    folder = peer.Dir().File("empty");
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(SendExported());
    EXPECT_NE(LastFailure().find("holds no DICOM file"), std::string::npos);
}

TEST_F(SendSeriesAgainstStorescp, AnotherClassSharesTheOneAssociation) {
    auto cts = MakeSeries(folder, 2);
    ASSERT_EQ(cts.size(), 2u);
    std::string plan = folder + "/img05.dcm";  // sorts between img0 and img1
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "rtplan.dcm", plan));
    SeriesResult result = SendReporting();
    EXPECT_TRUE(result.allStored);
    ASSERT_EQ(got.outcomes.size(), 3u);
    EXPECT_EQ(got.outcomes[1].file, plan);
    // The contexts of every file are proposed up front: one association.
    EXPECT_EQ(peer.Associations(), 1);
    for (const auto& file : {cts[0], plan, cts[1]}) EXPECT_EQ(peer.Compare(file).exitCode, 0) << file;
    auto proposals = peer.Proposals();
    ASSERT_EQ(proposals.size(), 4u);  // CT explicit and implicit, RT plan implicit and explicit
    EXPECT_EQ(proposals[2].first, "RTPlanStorage");
    EXPECT_EQ(proposals[3].first, "RTPlanStorage");
}

TEST_F(SendSeriesAgainstStorescp, PresentationStateSeriesIsNotOfferedTheWantedSyntax) {
    auto files = MakeSeries(folder, 2, "reportsi.dcm");
    ASSERT_EQ(files.size(), 2u);
    for (const auto& file : files)
        ASSERT_EQ(
            RunCommand({"dcmodify", "-nb", "-m", "(0008,0016)=1.2.840.10008.5.1.4.1.1.11.1", file}).exitCode,
            0);
    EXPECT_TRUE(SendExported(kJpegLossless)) << LastFailure();
    auto proposals = peer.Proposals();
    ASSERT_EQ(proposals.size(), 2u);
    EXPECT_EQ(proposals[0].first, "GrayscaleSoftcopyPresentationStateStorage");
    EXPECT_EQ(proposals[0].second, std::vector<std::string>({"LittleEndianExplicit"}));
    EXPECT_EQ(proposals[1].second, std::vector<std::string>({"LittleEndianImplicit"}));
}
