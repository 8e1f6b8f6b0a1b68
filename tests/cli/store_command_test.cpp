// pella store and pella send-series against storescp: exit codes, failure lines, progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/run_command.h"
#include "support/storescp_run.h"

using namespace testing_support;

namespace {

CommandResult Pella(std::vector<std::string> args, bool withErr = true) {
    args.insert(args.begin(), PELLA_CLI_PATH);
    return RunCommand(args, withErr);
}

}  // namespace

// Files and folders (with DCMTK's +sd +r) go on one association; files that are not DICOM are
// skipped and counted; a file that cannot be sent is named with its reason.
TEST(StoreCommand, SendsATreeOnOneAssociationSkippingWhatIsNotDicom) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    std::string tree = peer.Dir().File("tree");
    for (int folder = 0; folder < 5; ++folder) {
        std::string sub = tree + "/" + std::to_string(folder) + (folder > 0 ? "/deeper" : "");
        std::filesystem::create_directories(sub);
        for (int i = 0; i < 100; ++i)
            std::filesystem::copy_file(PydicomTestFiles() / "CT_small.dcm",
                                       sub + "/" + std::to_string(i) + ".dcm");
    }
    std::ofstream(tree + "/0/notes.txt") << "not DICOM\n";
    CommandResult all =
        Pella({"store", "127.0.0.1", peer.Port(), "+sd", "+r", tree, PydicomFile("rtplan.dcm")});
    EXPECT_EQ(all.exitCode, 0) << all.out;
    EXPECT_NE(all.out.find("Stored 501 objects"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("1 file skipped (not DICOM)"), std::string::npos) << all.out;
    EXPECT_EQ(peer.Associations(), 1);
    EXPECT_EQ(all.out.find('\r'), std::string::npos) << "no carriage returns in a log";

    CommandResult top =
        Pella({"store", "127.0.0.1", peer.Port(), tree + "/0", "--one-per-file", "--no-progress"});
    EXPECT_EQ(top.exitCode, 0) << top.out;
    EXPECT_NE(top.out.find("Stored 100 objects"), std::string::npos) << top.out;
    EXPECT_EQ(peer.Associations(), 1 + 100);

    std::string missing = peer.Dir().File("missing.dcm");
    CommandResult bad = Pella({"store", "127.0.0.1", peer.Port(), PydicomFile("CT_small.dcm"), missing,
                               PydicomFile("MR_small_RLE.dcm"), "--no-convert"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("cannot read '" + missing + "': no such file"), std::string::npos) << bad.out;
    // storescp takes no RLE by default, and the file was not to be converted.
    EXPECT_NE(bad.out.find("NOT STORED " + PydicomFile("MR_small_RLE.dcm")), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("transfer syntaxes not supported"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("FAILED: 1 of 2 objects NOT stored"), std::string::npos) << bad.out;
}

// A peer that drops every association: the association is re-opened once, then the run stops
// and one line counts the files that were not sent; a peer that cannot be reached stops the run
// at the first file.
TEST(StoreCommand, ALostPeerStopsTheRunWithOneLine) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"--abort-after"}));
    std::string folder = peer.Dir().File("many");
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 40; ++i)
        std::filesystem::copy_file(PydicomTestFiles() / "CT_small.dcm",
                                   folder + "/" + std::to_string(i) + ".dcm");
    CommandResult lost = Pella({"store", "127.0.0.1", peer.Port(), folder});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_NE(lost.out.find("38 files not sent: the association was lost twice"), std::string::npos)
        << lost.out;
    EXPECT_LE(std::count(lost.out.begin(), lost.out.end(), '\n'), 10) << lost.out;
    EXPECT_EQ(peer.Associations(), 2);

    peer.Stop();
    CommandResult gone = Pella({"store", "127.0.0.1", peer.Port(), folder});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.out.find("39 files not sent: association not accepted"), std::string::npos) << gone.out;
    EXPECT_NE(gone.out.find("Connection refused"), std::string::npos) << gone.out;
    EXPECT_LE(std::count(gone.out.begin(), gone.out.end(), '\n'), 10) << gone.out;
}

// Files the JPEG lossless codec cannot take go in another syntax the peer accepted (here the
// file's own), with a line saying so, instead of failing; a file it takes is compressed.
TEST(StoreCommand, UnconvertibleFilesFallBackToAnotherAcceptedSyntax) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"+xa"}));
    for (const char* name : {"MR_small_padded.dcm", "SC_ybr_full_422_uncompressed.dcm", "liver_1frame.dcm"}) {
        SCOPED_TRACE(name);
        CommandResult sent = Pella(
            {"store", "127.0.0.1", peer.Port(), PydicomFile(name), "--syntax", "jpeg-lossless", "--convert"});
        EXPECT_EQ(sent.exitCode, 0) << sent.out;
        EXPECT_NE(sent.out.find("could not be converted to JPEG Lossless"), std::string::npos) << sent.out;
        EXPECT_NE(sent.out.find("instead"), std::string::npos) << sent.out;
        EXPECT_EQ(peer.Compare(PydicomFile(name)).exitCode, 0);
    }
    CommandResult compressed = Pella({"store", "127.0.0.1", peer.Port(), PydicomFile("CT_small.dcm"),
                                      "--syntax", "jpeg-lossless", "--convert"});
    EXPECT_EQ(compressed.exitCode, 0) << compressed.out;
    EXPECT_EQ(compressed.out.find("instead"), std::string::npos) << compressed.out;
}

// --one-association proposes the contexts of every file up front, so files of several classes
// and syntaxes share one association.
TEST(StoreCommand, OneAssociationCarriesEveryClassAndSyntax) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    std::string a = peer.Dir().File("a.dcm"), b = peer.Dir().File("b.dcm");
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", a));
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", b));
    CommandResult same =
        Pella({"store", "--one-association", "127.0.0.1", peer.Port(), PydicomFile("CT_small.dcm"), a, b});
    EXPECT_EQ(same.exitCode, 0) << same.out;
    EXPECT_EQ(peer.Associations(), 1);
    CommandResult mixed =
        Pella({"store", "127.0.0.1", peer.Port(), a, PydicomFile("rtplan.dcm"), b,
               PydicomFile("MR_small_bigendian.dcm"), "--one-association", "--syntax", "explicit"});
    EXPECT_EQ(mixed.exitCode, 0) << mixed.out;
    EXPECT_EQ(peer.Associations(), 1 + 1);
    for (const auto& file : {a, b, PydicomFile("rtplan.dcm"), PydicomFile("MR_small_bigendian.dcm")})
        EXPECT_EQ(peer.Compare(file).exitCode, 0) << file;
}

TEST(StoreCommand, RefusedAssociationFailsEveryFile) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start({"--refuse"}));
    CommandResult refused = Pella({"store", "--one-association", "127.0.0.1", peer.Port(),
                                   PydicomFile("CT_small.dcm"), PydicomFile("MR_small.dcm")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find("association not accepted: Association Rejected"), std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("FAILED: 2 of 2 objects NOT stored"), std::string::npos) << refused.out;
}

TEST(StoreCommand, UsageErrors) {
    EXPECT_EQ(Pella({"store", "--help"}).exitCode, 0);
    EXPECT_EQ(Pella({"store", "127.0.0.1", "104"}).exitCode, 2);  // no file
    EXPECT_EQ(Pella({"store", "127.0.0.1", "104", "x.dcm", "--syntax", "no-such"}).exitCode, 2);
    EXPECT_EQ(Pella({"send-series", "127.0.0.1", "104"}).exitCode, 2);
    EXPECT_EQ(Pella({"send-series", "--help"}).exitCode, 0);
}

TEST(SendSeriesCommand, ShowsProgressAndReportsTheLineOutsideTheFolder) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    std::string folder = peer.Dir().File("series");
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm",
                                        folder + "/" + std::to_string(i) + ".dcm"));
    CommandResult ok = Pella(
        {"send-series", "127.0.0.1", peer.Port(), folder, "--syntax", "1.2.840.10008.1.2.1", "--convert"});
    EXPECT_EQ(ok.exitCode, 0) << ok.out;
    EXPECT_NE(ok.out.find("Stored 8 objects"), std::string::npos) << ok.out;
    EXPECT_NE(ok.out.find("8 files, "), std::string::npos) << ok.out;  // progress on stderr
    EXPECT_EQ(peer.Associations(), 1);
    CommandResult quiet = Pella({"send-series", "127.0.0.1", peer.Port(), folder, "--no-progress"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out.find("8 files, "), std::string::npos) << quiet.out;

    // An index naming a file outside the folder: that file is not sent, and the run fails.
    std::string indexed = peer.Dir().File("indexed");
    std::filesystem::create_directories(indexed);
    std::string inside = indexed + "/in.dcm";
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", inside));
    std::string uid = InstanceUid(inside);
    std::filesystem::rename(inside, indexed + "/" + uid + ".dcm");
    std::string outside = peer.Dir().File("secret.dcm");
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "MR_small.dcm", outside));
    std::ofstream(indexed + "/Image.dir", std::ios::binary) << "1,1," << uid << ",x\r\n1,2,../secret,x\r\n";
    CommandResult partial = Pella({"send-series", "127.0.0.1", peer.Port(), indexed});
    EXPECT_EQ(partial.exitCode, 1);
    EXPECT_NE(partial.out.find("names no file inside the series folder"), std::string::npos) << partial.out;
    EXPECT_NE(partial.out.find("FAILED: 1 of 2 objects NOT stored"), std::string::npos) << partial.out;
    EXPECT_EQ(peer.Compare(outside).exitCode, 2);

    CommandResult empty = Pella({"send-series", "127.0.0.1", peer.Port(), peer.Dir().File("nowhere")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.out.find("holds no DICOM file"), std::string::npos) << empty.out;
}
