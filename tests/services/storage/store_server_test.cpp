// The storage server against DCMTK's storescu, echoscu and findscu, against hostile peers, and
// its filing rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "data/io/dataset_reader.h"
#include "data/registry/sop_classes.h"
#include "log/protocol_log.h"
#include "net/acse/acceptor.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/storage/store_handler.h"
#include "services/storage/store_server.h"
#include "support/incoming_files.h"
#include "support/log_file.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/running_store_server.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;
using testing_support::StagedObjects;

namespace {

std::vector<fs::path> StoredFiles(const fs::path& root) {
    std::vector<fs::path> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == ".dcm") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

int CountLines(const fs::path& file) {
    std::ifstream in(file);
    return static_cast<int>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

std::string Storescu(const std::string& port, const std::string& files, const std::string& options = "") {
    int code = -1;
    std::string out =
        RunCommand("TCP_NODELAY=1 storescu " + options + " 127.0.0.1 " + port + " " + files + " 2>&1", &code);
    return code == 0 ? "" : (out.empty() ? "storescu failed" : out);
}

// Empty when the two files hold the same data set; else the differences.
std::string SameDataSet(const std::string& a, const std::string& b) {
    int code = -1;
    std::string out =
        RunCommand("/usr/bin/python3 " PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py " +
                       Quote(a) + " " + Quote(b) + " 2>&1",
                   &code);
    return code == 0 ? "" : out;
}

std::string SopInstanceOf(const std::string& file) {
    ElementList data;
    std::string syntax;
    if (!ReadDatasetAndSyntax(file, data, syntax)) return "";
    return GetElementText(data, 0x0008, 0x0018);
}

}  // namespace

TEST(StoreServer, StorescuSamplesArriveWholeAndIndexed) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    fs::path samples = PydicomTestFiles();
    // Explicit and implicit VR, big endian (storescu sends it little endian), colour.
    std::vector<std::string> names = {"CT_small.dcm", "MR_small_bigendian.dcm", "SC_rgb_small_odd.dcm",
                                      "SC_ybr_full_422_uncompressed.dcm", "rtplan.dcm"};
    std::string files;
    for (const auto& n : names) files += Quote((samples / n).string()) + " ";
    std::string sent = Storescu(running.port, files);
    EXPECT_NE(sent.find("No presentation context for: (RP)"), std::string::npos) << sent;
    running.server->Stop();  // every acknowledged object is on disk now

    auto stored = StoredFiles(dir.File("db"));
    std::map<std::string, fs::path> bySop;
    for (const auto& f : stored) bySop[f.stem().string()] = f;
    int compared = 0;
    std::set<std::string> studies;
    for (const auto& n : names) {
        if (n == "rtplan.dcm") continue;  // not a class the server takes: see below
        std::string source = (samples / n).string();
        std::string sop = SopInstanceOf(source);
        SCOPED_TRACE(n);
        auto it = bySop.find(sop);
        ASSERT_NE(it, bySop.end()) << "not stored";
        // study/series/instance layout
        ElementList data;
        std::string syntax;
        ASSERT_TRUE(ReadDatasetAndSyntax(it->second.string(), data, syntax));
        EXPECT_EQ(it->second.parent_path().filename().string(), GetElementText(data, 0x0020, 0x000E));
        EXPECT_EQ(it->second.parent_path().parent_path().filename().string(),
                  GetElementText(data, 0x0020, 0x000D));
        int code = -1;
        RunCommand("dcmdump -q " + Quote(it->second.string()) + " >/dev/null 2>&1", &code);
        EXPECT_EQ(code, 0) << "dcmdump cannot read the stored file";
        EXPECT_EQ(SameDataSet(source, it->second.string()), "");
        studies.insert(GetElementText(data, 0x0020, 0x000D));
        ++compared;
    }
    EXPECT_EQ(compared, 4);
    EXPECT_EQ(CountLines(dir.File("db/KPStudy.dir")), static_cast<int>(studies.size()));
    EXPECT_EQ(stored.size(), 4u);  // the RT plan was refused at negotiation
}

TEST(StoreServer, JpegLosslessIsAcceptedAndFiledInThatSyntax) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    std::string source = (PydicomTestFiles() / "CT_small.dcm").string();
    std::string jpeg = dir.File("ct_jpeg.dcm");
    ASSERT_EQ(RunCommand("dcmcjpeg +e1 " + Quote(source) + " " + Quote(jpeg) + " && echo ok"), "ok\n");
    EXPECT_EQ(Storescu(running.port, Quote(jpeg), "-xs"), "");
    running.server->Stop();
    auto stored = StoredFiles(dir.File("db"));
    ASSERT_EQ(stored.size(), 1u);
    ElementList data;
    std::string syntax;
    ASSERT_TRUE(ReadDatasetAndSyntax(stored[0].string(), data, syntax));
    EXPECT_EQ(syntax, "1.2.840.10008.1.2.4.70");
    EXPECT_EQ(SameDataSet(jpeg, stored[0].string()), "");
    std::string restored = dir.File("restored.dcm");
    ASSERT_EQ(RunCommand("dcmdjpeg " + Quote(stored[0].string()) + " " + Quote(restored) + " && echo ok"),
              "ok\n");
    std::string samePixels = RunCommand(
        "/usr/bin/python3 -c \"import sys,pydicom; a,b=(pydicom.dcmread(f) for f in sys.argv[1:]); "
        "print(a.PixelData == b.PixelData)\" " +
        Quote(source) + " " + Quote(restored));
    EXPECT_EQ(samePixels, "True\n");
}

TEST(StoreServer, EchoIsAnsweredAndOtherCommandsEndTheAssociation) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    int code = -1;
    RunCommand("TCP_NODELAY=1 echoscu 127.0.0.1 " + running.port + " >/dev/null 2>&1", &code);
    EXPECT_EQ(code, 0);
    RunCommand("TCP_NODELAY=1 echoscu --repeat 5 127.0.0.1 " + running.port + " >/dev/null 2>&1", &code);
    EXPECT_EQ(code, 0);
    std::string out =
        RunCommand("TCP_NODELAY=1 findscu -S -k QueryRetrieveLevel=STUDY -k PatientName 127.0.0.1 " +
                       running.port + " 2>&1",
                   &code);
    // Query/retrieve is not served: its context is refused (abstract syntax not supported).
    EXPECT_NE(out.find("No Acceptable Presentation Contexts"), std::string::npos) << out;
    EXPECT_EQ(out.find("Find Response"), std::string::npos) << out;
    RunCommand("TCP_NODELAY=1 echoscu 127.0.0.1 " + running.port + " >/dev/null 2>&1", &code);
    EXPECT_EQ(code, 0) << "the server goes on after ending an association";
}

TEST(StoreServer, TwoSendersAtOnceBothComplete) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    std::string ct = Quote((PydicomTestFiles() / "CT_small.dcm").string());
    std::string mr = Quote((PydicomTestFiles() / "MR_small.dcm").string());
    std::string first, second;
    std::thread a([&] { first = Storescu(running.port, ct); });
    std::thread b([&] { second = Storescu(running.port, mr); });
    a.join();
    b.join();
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "");
    running.server->Stop();
    EXPECT_EQ(StoredFiles(dir.File("db")).size(), 2u);
}

TEST(StoreServer, HostilePeersNeverStopTheServer) {
    TempDir dir;
    RunningServer running(dir, 1);  // a silent peer costs one second
    ASSERT_TRUE(running.started);
    uint16_t port = static_cast<uint16_t>(std::stoi(running.port));
    auto connectAndSend = [&](const Bytes& bytes, bool closeAtOnce) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (!closeAtOnce) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        close(fd);
    };
    Bytes lyingRequest = {0x01, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1};
    Bytes halfRequest = {0x01, 0, 0, 0, 0, 205, 0, 1, 0, 0, 'A', 'N'};
    Bytes garbage(300, 0xA5);
    Bytes releaseFirst = {0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    connectAndSend(lyingRequest, true);
    connectAndSend(halfRequest, true);
    connectAndSend(garbage, true);
    connectAndSend(releaseFirst, true);
    connectAndSend({}, false);           // silent until the wait ends
    connectAndSend(halfRequest, false);  // stops mid-PDU and stays

    // After an accepted association: a P-DATA with a lying value length.
    {
        ScriptedPeer unused;  // keeps the helpers' byte builders in one place
        PDU pdu(5);
        std::string calling = "HOSTILE";
        ASSERT_TRUE(OpenAssoc(pdu, "127.0.0.1", running.port, calling, "PELLA", "1.2.840.10008.1.1", ""));
        Bytes lying = PData(1, 0x03, Bytes(20, 0));
        lying[9] = 0x7F;
        pdu.buffer.WriteBytes(lying.data(), lying.size());
        pdu.buffer.Flush();
        ElementList reply;
        EXPECT_FALSE(ReadMessage(pdu, reply));  // the server aborts
    }
    // A C-STORE-RQ without an Affected SOP Class UID ends the association.
    {
        PDU pdu(5);
        std::string calling = "HOSTILE";
        ASSERT_TRUE(
            OpenAssoc(pdu, "127.0.0.1", running.port, calling, "PELLA", "1.2.840.10008.5.1.4.1.1.2", ""));
        ElementList command;
        AppendUS(command, 0x0000, kTagCommandField, kCStoreRQ);
        AppendUS(command, 0x0000, kTagMessageID, 1);
        AppendUS(command, 0x0000, kTagDataSetType, 0);
        PrependCommandGroupLength(command);
        ASSERT_TRUE(SendMessage(pdu, command, "1.2.840.10008.5.1.4.1.1.2", kCommandSet));
        ElementList reply;
        EXPECT_FALSE(ReadMessage(pdu, reply));
    }
    int code = -1;
    RunCommand("TCP_NODELAY=1 echoscu 127.0.0.1 " + running.port + " >/dev/null 2>&1", &code);
    EXPECT_EQ(code, 0) << "the server still serves after hostile peers";
    EXPECT_TRUE(StoredFiles(dir.File("db")).empty());
}

TEST(StoreServer, UnusableUidsAndUnwritableFoldersAreNeverAcknowledged) {
    TempDir dir;
    StoreServerConfig config;
    config.storageFolder = dir.File("db");
    config.databaseRoot = dir.File("db");
    ElementList data;
    auto add = [&](uint16_t g, uint16_t e, const std::string& v) {
        data.Append(NewElement(g, e, static_cast<int32_t>(v.size()), v.data(), "UI"));
    };
    add(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7");
    add(0x0008, 0x0018, "1.2.3.4.5");
    add(0x0020, 0x000D, "../../escape");
    add(0x0020, 0x000E, "1.2.3.4");
    EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2", data), kStatusCannotUnderstand);
    EXPECT_FALSE(fs::exists(dir.File("db")));
    EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "escape"));

    ElementList good;
    good.Append(NewElement(0x0008, 0x0016, 26, "1.2.840.10008.5.1.4.1.1.7\0", "UI"));
    good.Append(NewElement(0x0008, 0x0018, 10, "1.2.3.4.5\0", "UI"));
    good.Append(NewElement(0x0020, 0x000D, 6, "1.2.3\0", "UI"));
    good.Append(NewElement(0x0020, 0x000E, 8, "1.2.3.4\0", "UI"));
    std::ofstream(dir.File("blocker")) << "a file where the storage folder should be";
    config.storageFolder = dir.File("blocker");
    config.databaseRoot = dir.File("blocker");
    EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2", good), kStatusOutOfResources);
    // A study folder that cannot even be looked at (a link to itself): refused, and the object
    // written for it is not left behind in .incoming.
    fs::create_directories(dir.File("loop"));
    fs::create_symlink("1.2.3", dir.File("loop/1.2.3"));
    config.storageFolder = config.databaseRoot = dir.File("loop");
    EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2", good), kStatusOutOfResources);
    EXPECT_TRUE(StagedObjects(dir.File("loop/.incoming")).empty());

    config.storageFolder = dir.File("db");
    config.databaseRoot = dir.File("db");
    EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2", good), kStatusSuccess);
    EXPECT_TRUE(fs::exists(dir.File("db/1.2.3/1.2.3.4/1.2.3.4.5.dcm")));
    EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2", good), kStatusSuccess);  // again: replaced
    EXPECT_EQ(CountLines(dir.File("db/1.2.3/1.2.3.4/Image.dir")), 1);
}

// A SOP Instance UID with something after an inner zero byte is refused over the network, not
// filed under the text before the zero byte, and nothing is written anywhere.
TEST(StoreServer, AUidWithTextAfterAnInnerZeroByteIsRefused) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    const char* ct = "1.2.840.10008.5.1.4.1.1.2";
    const std::string hostile("1.2.3\0/../../x", 14);
    PDU pdu(5);
    std::string calling = "HOSTILE";
    ASSERT_TRUE(OpenAssoc(pdu, "127.0.0.1", running.port, calling, "PELLA", ct, ""));
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, ct);
    AppendUS(command, 0x0000, kTagCommandField, kCStoreRQ);
    AppendUS(command, 0x0000, kTagMessageID, 1);
    AppendUS(command, 0x0000, kTagPriority, 0);
    AppendUS(command, 0x0000, kTagDataSetType, kDataSetPresent);
    AppendUI(command, 0x0000, kTagAffectedSopInstance, "1.2.3");
    PrependCommandGroupLength(command);
    ElementList data;
    data.Append(NewElement(0x0008, 0x0016, 26, "1.2.840.10008.5.1.4.1.1.2\0", "UI"));
    data.Append(NewElement(0x0008, 0x0018, static_cast<int32_t>(hostile.size()), hostile.data(), "UI"));
    data.Append(NewElement(0x0020, 0x000D, 6, "1.2.3\0", "UI"));
    data.Append(NewElement(0x0020, 0x000E, 8, "1.2.3.4\0", "UI"));
    ASSERT_TRUE(SendMessage(pdu, command, ct, kCommandSet));
    ASSERT_TRUE(SendMessage(pdu, data, ct, kDataSet));
    ElementList reply;
    ASSERT_TRUE(ReadMessage(pdu, reply));
    const DataElement* status = FindElement(reply, 0x0000, kTagStatus);
    ASSERT_NE(status, nullptr);
    ASSERT_GE(status->length, 2);
    EXPECT_EQ(status->value[0] | (status->value[1] << 8), kStatusCannotUnderstand);
    EXPECT_TRUE(StoredFiles(dir.Path()).empty());
    EXPECT_FALSE(fs::exists(dir.File("db/1.2.3/1.2.3.4/1.2.3")));
    EXPECT_FALSE(fs::exists(dir.File("db/1.2.3/1.2.3.4/Image.dir")));
    EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "x.dcm"));
}

// Received data sets are filed by their own top-level attributes, in one piece, and without
// file meta elements of their own; one cut short inside a sequence is refused.
TEST(StoreServer, ReceivedDataSetsAreFiledByTheirOwnAttributesOnly) {
    auto text = [](ElementList& list, uint16_t g, uint16_t e, std::string v, const char* vr) {
        if (v.size() % 2) v += vr[0] == 'U' ? '\0' : ' ';
        list.Append(NewElement(g, e, static_cast<int32_t>(v.size()), v.data(), vr));
    };
    auto open = [](ElementList& list, uint16_t g, uint16_t e, const char* vr) {
        list.Append(NewElement(g, e, kUndefinedLength, nullptr, vr));
    };
    auto close = [](ElementList& list, uint16_t e) { list.Append(NewElement(0xFFFE, e, 0, nullptr, "DL")); };
    // Builds: [meta elements] [a related series item holding other UIDs] own UIDs [open tail].
    auto build = [&](bool meta, bool related, bool openTail) {
        ElementList data;
        if (meta) {
            text(data, 0x0002, 0x0001, std::string("\0\1", 2), "OB");
            text(data, 0x0002, 0x0010, "1.2.840.10008.1.2.2", "UI");  // big endian: a lie
        }
        text(data, 0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7", "UI");
        text(data, 0x0008, 0x0018, "1.2.3.4.5", "UI");
        if (related) {
            open(data, 0x0008, 0x1250, "SQ");
            open(data, 0xFFFE, 0xE000, nullptr);
            text(data, 0x0020, 0x000D, "9.9.9", "UI");
            text(data, 0x0020, 0x000E, "9.9.9.1", "UI");
            close(data, 0xE00D);
            close(data, 0xE0DD);
        }
        text(data, 0x0010, 0x0010, "DOE", "PN");
        text(data, 0x0020, 0x000D, "1.2.3", "UI");
        text(data, 0x0020, 0x000E, "1.2.3.4", "UI");
        if (openTail) {
            open(data, 0x0040, 0x0275, "SQ");
            open(data, 0xFFFE, 0xE000, nullptr);
            text(data, 0x0040, 0x0009, "SPS1", "SH");
        }
        return data;
    };
    struct Case {
        const char* what;
        ElementList data;
        uint16_t status;
    };
    Case cases[] = {
        {"related series before the own UIDs", build(false, true, false), kStatusSuccess},
        {"file meta elements inside the data set", build(true, false, false), kStatusSuccess},
        {"ends inside an open sequence item", build(false, false, true), kStatusCannotUnderstand},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        StoreServerConfig config;
        config.storageFolder = config.databaseRoot = dir.File("db");
        EXPECT_EQ(StoreReceivedObject(config, "1.2.840.10008.1.2.1", c.data), c.status);
        EXPECT_FALSE(fs::exists(dir.File("db/9.9.9")));
        std::string stored = dir.File("db/1.2.3/1.2.3.4/1.2.3.4.5.dcm");
        if (c.status != kStatusSuccess) {
            EXPECT_TRUE(StoredFiles(dir.File("db")).empty());
            EXPECT_FALSE(fs::exists(dir.File("db/KPStudy.dir")));
            continue;
        }
        EXPECT_EQ(CountLines(dir.File("db/KPStudy.dir")), 1);
        EXPECT_EQ(ReadText(dir.File("db/KPStudy.dir")).rfind("1.2.3,", 0), 0u);
        // pydicom reads the stored file in the syntax it arrived in, without a second meta group.
        int code = -1;
        std::string out = RunCommand(
            "/usr/bin/python3 -c \"import sys, pydicom\n"
            "ds = pydicom.dcmread(sys.argv[1])\n"
            "assert ds.file_meta.TransferSyntaxUID == '1.2.840.10008.1.2.1', ds.file_meta.TransferSyntaxUID\n"
            "assert not [e for e in ds if e.tag.group == 2], 'meta elements in the data set'\n"
            "assert ds.StudyInstanceUID == '1.2.3' and str(ds.PatientName) == 'DOE'\" " +
                Quote(stored) + " 2>&1",
            &code);
        EXPECT_EQ(code, 0) << out;
    }
}

TEST(Acceptor, ContextsAreAnsweredInOrderWithTheirIDs) {
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    PDU pdu(5);
    std::string calling = "ME";
    BuildRequest(pdu, calling, "PELLA", "1.2.840.10008.5.1.4.1.1.2", {"1.2.840.10008.1.2.2"});
    auto add = [&](uint8_t id, const std::string& abstract, const std::string& syntax) {
        PresentationContextRQ context;
        context.contextID = id;
        context.SetAbstractSyntax(abstract);
        context.AddTransferSyntax(syntax);
        pdu.request.presentationContexts.push_back(context);
    };
    add(3, "1.2.840.10008.5.1.4.1.1.481.1", "1.2.840.10008.1.2");  // RT Image: not served
    add(5, "1.2.840.10008.5.1.4.1.1.2", "1.2.840.10008.1.2.1");
    add(7, "1.2.840.10008.5.1.4.1.1.2", "1.2.840.10008.1.2");
    ASSERT_TRUE(RequestAssociation(pdu, "127.0.0.1", running.port));
    const auto& answered = pdu.accept.presentationContexts;
    ASSERT_EQ(answered.size(), 4u);
    const uint8_t ids[4] = {1, 3, 5, 7};
    // 4: transfer syntaxes not supported (big endian); 3: abstract syntax not supported.
    const uint8_t results[4] = {4, 3, 0, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(answered[i].contextID, ids[i]);
        EXPECT_EQ(answered[i].result, results[i]);
    }
    EXPECT_EQ(answered[0].transferSyntax.text, "");
    EXPECT_EQ(answered[2].transferSyntax.text, "1.2.840.10008.1.2.1");
    ReleaseAssociation(pdu);

    PDU refused(5);
    EXPECT_FALSE(
        OpenAssoc(refused, "127.0.0.1", running.port, calling, "PELLA", "1.2.840.10008.5.1.4.1.1.481.1", ""));
    EXPECT_FALSE(refused.IsConnected());
}

TEST(StoreServer, ANormalReleaseIsNoFailureInTheLog) {
    LogSettingsGuard guard;
    TempDir dir;
    RunningServer running(dir);
    ASSERT_TRUE(running.started);
    std::string file = dir.File("failures.log");
    pella::SetLogSettings(0, file);  // failures only
    int code = -1;
    RunCommand("TCP_NODELAY=1 echoscu 127.0.0.1 " + running.port + " >/dev/null 2>&1", &code);
    EXPECT_EQ(code, 0);
    running.server->Stop();
    EXPECT_EQ(ReadText(file), "");
}
