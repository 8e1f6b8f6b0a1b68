// The storage server with many peers at once, peers that hold it, a limit, stopping and
// killing it mid-transfer, and a full disk: `pella serve` against DCMTK's senders.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstring>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "data/io/dataset_reader.h"
#include "net/acse/association.h"
#include "support/incoming_files.h"
#include "support/loopback_listener.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/stored_database.h"
#include "support/storescp_run.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;
namespace fs = std::filesystem;
using testing_support::StagedObjects;

namespace {

constexpr const char* kVerification = "1.2.840.10008.1.1";
const char* kScripts = PELLA_SOURCE_DIR "/tests/services/scripts/";

// COUNT copies of CT_small.dcm in FOLDER, each with SOP Instance UIDs of its own, one series.
void MakeSeries(const fs::path& folder, int count) {
    fs::create_directories(folder);
    int code = -1;
    std::string out = RunCommand(
        "/usr/bin/python3 -c \"import sys, pydicom; from pydicom.data import get_testdata_file\n"
        "from pydicom.uid import generate_uid\n"
        "ds = pydicom.dcmread(get_testdata_file('CT_small.dcm'))\n"
        "ds.SeriesInstanceUID = generate_uid()\n"
        "for i in range(int(sys.argv[2])):\n"
        "    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()\n"
        "    ds.save_as(sys.argv[1] + '/ct%04d.dcm' % i, write_like_original=False)\" " +
            Quote(folder.string()) + " " + std::to_string(count) + " 2>&1",
        &code);
    ASSERT_EQ(code, 0) << out;
}

std::string SopInstanceOf(const fs::path& file) {
    ElementList data;
    std::string syntax;
    if (!ReadDatasetAndSyntax(file.string(), data, syntax)) return "";
    return GetElementText(data, 0x0008, 0x0018);
}

std::size_t CountFilesBelow(const std::string& root, const std::string& extension) {
    std::error_code ec;
    std::size_t count = 0;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == extension && it->path().parent_path().filename() != ".incoming")
            ++count;
    return count;
}

// A loopback connection to the port; -1 when it cannot be made.
int ConnectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

// An association that stays open and idle until the test ends.
struct IdleAssociation {
    explicit IdleAssociation(int port) {
        std::string calling = "IDLE";
        open = pella::OpenAssoc(pdu, "127.0.0.1", std::to_string(port), calling, "PELLA", kVerification, "");
    }
    // The type of the next PDU the server sends; 0 when the connection ends first.
    uint8_t NextPduType() {
        uint8_t type = 0;
        return pdu.buffer.ReadU8(type) ? type : 0;
    }
    PDU pdu{20};
    bool open = false;
};

// A TCP connection that never sends anything.
struct SilentConnection {
    explicit SilentConnection(int port) : fd(ConnectLoopback(port)) {}
    ~SilentConnection() {
        if (fd >= 0) close(fd);
    }
    int fd;
};

// CT_small.dcm with pixel data of `bytes` bytes, written to `file`.
void MakeLargeObject(const fs::path& file, std::size_t bytes) {
    fs::create_directories(file.parent_path());
    int code = -1;
    std::string out = RunCommand(
        "/usr/bin/python3 -c \"import sys, pydicom; from pydicom.data import get_testdata_file\n"
        "from pydicom.uid import generate_uid\n"
        "ds = pydicom.dcmread(get_testdata_file('CT_small.dcm'))\n"
        "ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()\n"
        "ds.PixelData = bytes(int(sys.argv[2]))\n"
        "ds.save_as(sys.argv[1], write_like_original=False)\" " +
            Quote(file.string()) + " " + std::to_string(bytes) + " 2>&1",
        &code);
    ASSERT_EQ(code, 0) << out;
}

// Mounts a tmpfs of the given size on a new folder below `dir` for one test; Mounted() is false
// where this process may not mount.
struct SmallDisk {
    SmallDisk(const TempDir& dir, const char* size) : path(dir.Path() / "small") {
        fs::create_directories(path);
        mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
        if (!mounted) reason = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted) umount2(path.c_str(), MNT_DETACH);
    }
    fs::path path;
    bool mounted = false;
    std::string reason;
};

std::string Storescu(int port, const fs::path& folder, const std::string& options = "") {
    return RunCommand("TCP_NODELAY=1 storescu " + options + " 127.0.0.1 " + std::to_string(port) + " +sd " +
                      Quote(folder.string()) + " 2>&1");
}

}  // namespace

// A silent connection and an idle association hold nobody up; stopping the server ends both at
// once, the association with an A-ABORT.
TEST(ServeConcurrency, SilentAndIdlePeersHoldNobodyAndStopEndsThem) {
    TempDir dir;
    MakeSeries(dir.Path() / "series", 3);
    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    SilentConnection silent(serve.port);
    IdleAssociation idle(serve.port);
    ASSERT_TRUE(idle.open);

    int code = -1;
    std::string out =
        RunCommand("echoscu -ta 5 -to 5 127.0.0.1 " + std::to_string(serve.port) + " 2>&1", &code);
    EXPECT_EQ(code, 0) << out;
    out = RunCommand("TCP_NODELAY=1 storescu -to 5 127.0.0.1 " + std::to_string(serve.port) + " +sd " +
                         Quote((dir.Path() / "series").string()) + " 2>&1",
                     &code);
    EXPECT_EQ(code, 0) << out;

    ASSERT_TRUE(serve.process.Signal(SIGTERM));
    int status = -1;
    // Far below the server's time-outs: the held connections do not keep it running.
    ASSERT_TRUE(serve.process.WaitForExit(10, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(idle.NextPduType(), 0x07);  // A-ABORT
    EXPECT_EQ(CheckedDatabase(dir.File("db")).size(), 3u);
}

// Eight storescu and one pella send-series at once: every object once, equal to its source,
// with one index line, and the associations overlap in the log.
TEST(ServeConcurrency, ManySendersAtOnceAreServedSideBySide) {
    TempDir dir;
    constexpr int kSenders = 8, kPerSender = 25;
    for (int s = 0; s < kSenders; ++s) MakeSeries(dir.Path() / "senders" / std::to_string(s), kPerSender);
    MakeSeries(dir.Path() / "series", 50);
    std::string log = dir.File("serve.log");
    ServeProcess serve(dir.File("db"), {}, log);
    ASSERT_TRUE(serve.started);

    std::vector<std::thread> senders;
    std::vector<std::string> outputs(kSenders + 1);
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            int code = -1;
            outputs[s] =
                RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(serve.port) + " +sd " +
                               Quote((dir.Path() / "senders" / std::to_string(s)).string()) + " 2>&1",
                           &code);
            if (code != 0) outputs[s] += " (failed)";
        });
    senders.emplace_back([&] {
        int code = -1;
        outputs[kSenders] = RunCommand(std::string(PELLA_CLI_PATH) + " send-series --no-progress 127.0.0.1 " +
                                           std::to_string(serve.port) + " " +
                                           Quote((dir.Path() / "series").string()) + " 2>&1",
                                       &code);
        if (code != 0) outputs[kSenders] += " (failed)";
    });
    for (auto& sender : senders) sender.join();
    serve.process.Stop();
    for (const std::string& out : outputs) EXPECT_EQ(out.find("(failed)"), std::string::npos) << out;

    EXPECT_EQ(CheckedDatabase(dir.File("db")).size(), static_cast<std::size_t>(kSenders * kPerSender + 50));
    int code = -1;
    std::string differences =
        RunCommand("/usr/bin/python3 " + std::string(kScripts) + "compare_folders.py " +
                       Quote((dir.Path() / "senders").string()) + " " + Quote(dir.File("db")) + " 2>&1",
                   &code);
    EXPECT_EQ(code, 0) << differences;

    // Overlap: some association logs a line between another one's first and last line.
    std::map<std::string, std::pair<int, int>> span;  // tag -> first and last line number
    std::vector<std::string> tags;
    std::ifstream in(log);
    int number = 0;
    for (std::string line; std::getline(in, line); ++number) {
        auto open = line.find(", [A");
        if (open == std::string::npos) continue;
        std::string tag = line.substr(open + 3, line.find(']', open) - open - 3);
        tags.push_back(tag);
        auto [it, fresh] = span.emplace(tag, std::make_pair(number, number));
        if (!fresh) it->second.second = number;
    }
    EXPECT_GE(span.size(), static_cast<std::size_t>(kSenders + 1));
    bool overlap = false;
    for (const auto& [a, ra] : span)
        for (const auto& [b, rb] : span)
            if (a != b && rb.first > ra.first && rb.first < ra.second) overlap = true;
    EXPECT_TRUE(overlap) << "associations were served one after another";
}

// More peers than --max-associations: the extra one is rejected at once with the limit reason,
// and served again once a place is free.
TEST(ServeConcurrency, PeersOverTheLimitAreRejectedWithItsReason) {
    TempDir dir;
    ServeProcess serve(dir.File("db"), {"--max-associations", "2"});
    ASSERT_TRUE(serve.started);
    // The listener probe's connection may hold a place for a moment: retry until both hold one.
    auto hold = [&] {
        for (int attempt = 0; attempt < 50; ++attempt) {
            auto idle = std::make_unique<IdleAssociation>(serve.port);
            if (idle->open) return idle;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::unique_ptr<IdleAssociation>();
    };
    auto first = hold();
    auto second = hold();
    ASSERT_TRUE(first && second);

    int code = -1;
    std::string echo = "echoscu -ta 5 -to 5 127.0.0.1 " + std::to_string(serve.port) + " 2>&1";
    std::string out = RunCommand(echo, &code);
    EXPECT_NE(code, 0);
    EXPECT_NE(out.find("Association Rejected"), std::string::npos) << out;
    EXPECT_NE(out.find("Rejected Transient, Source: Service Provider (Presentation Related)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Reason: Local Limit Exceeded"), std::string::npos) << out;

    first.reset();  // released: a place is free again
    for (int attempt = 0; attempt < 50 && code != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        out = RunCommand(echo, &code);
    }
    EXPECT_EQ(code, 0) << out;
}

// Stopped (SIGTERM) or killed (SIGKILL) in the middle of a transfer: every object the sender saw
// acknowledged is whole on disk and indexed, no half-written file carries a final name, and after a
// restart every file and folder is listed in its index.
TEST(ServeConcurrency, StoppedOrKilledMidTransferKeepsEveryAcknowledgedObject) {
    for (int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGKILL");
        TempDir dir;
        MakeSeries(dir.Path() / "series", 300);
        ServeProcess serve(dir.File("db"));
        ASSERT_TRUE(serve.started);
        std::string output;
        std::thread sender([&] { output = Storescu(serve.port, dir.Path() / "series", "-v"); });
        // Stop once the transfer is under way.
        for (int i = 0; i < 500 && CountFilesBelow(dir.File("db"), ".dcm") < 60; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(serve.process.Signal(signal));
        ASSERT_TRUE(serve.process.WaitForExit(10));
        sender.join();
        // Started again, as an operator would, the server undoes a filing step the kill cut short.
        ServeProcess again(dir.File("db"));
        ASSERT_TRUE(again.started);

        std::set<std::string> indexed = CheckedDatabase(dir.File("db"));
        std::vector<std::string> acknowledged = AcknowledgedFiles(output);
        EXPECT_FALSE(acknowledged.empty()) << output;
        EXPECT_LT(acknowledged.size(), 300u) << "the transfer ended before the signal";
        for (const std::string& file : acknowledged)
            EXPECT_TRUE(indexed.count(SopInstanceOf(file))) << file << " acknowledged but not filed";
    }
}

// A file system that fills up: what did not fit is answered with a failure status, never
// success; what was acknowledged is whole and indexed; the server goes on serving.
TEST(ServeConcurrency, AFullDiskIsNeverAcknowledged) {
    TempDir dir;
    fs::path small = dir.Path() / "small";
    fs::create_directories(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small.string()};

    MakeSeries(dir.Path() / "series", 60);                             // about 2.4 MB, more than fits
    ServeProcess serve((small / "db").string(), {"--min-free", "1"});  // the disk itself fills
    ASSERT_TRUE(serve.started);
    std::string output = Storescu(serve.port, dir.Path() / "series", "-v");
    std::vector<std::string> acknowledged = AcknowledgedFiles(output);
    EXPECT_GT(acknowledged.size(), 0u) << output;
    EXPECT_LT(acknowledged.size(), 60u) << output;
    EXPECT_NE(output.find("OutOfResources"), std::string::npos) << output;

    std::set<std::string> indexed = CheckedDatabase((small / "db").string());
    EXPECT_EQ(indexed.size(), acknowledged.size());
    for (const std::string& file : acknowledged) EXPECT_TRUE(indexed.count(SopInstanceOf(file))) << file;
    EXPECT_TRUE(StagedObjects(small / "db" / ".incoming").empty());

    int code = -1;
    std::string echo = RunCommand("echoscu -to 5 127.0.0.1 " + std::to_string(serve.port) + " 2>&1", &code);
    EXPECT_EQ(code, 0) << echo;
}

// A store that begins with the disk under the free-space reserve is answered Out of Resources
// and writes nothing; the association goes on and its next stores get the same answer.
TEST(ServeDiskBounds, AStoreUnderTheReserveIsOutOfResources) {
    TempDir dir;
    MakeSeries(dir.Path() / "series", 3);
    ServeProcess serve(dir.File("db"), {"--min-free", "1000T"});
    ASSERT_TRUE(serve.started);
    std::string output = Storescu(serve.port, dir.Path() / "series", "-v --no-halt");
    std::size_t refused = 0;
    for (std::size_t at = 0; (at = output.find("Refused: OutOfResources", at)) != std::string::npos; ++at)
        ++refused;
    EXPECT_EQ(refused, 3u) << output;
    EXPECT_NE(output.find("Releasing Association"), std::string::npos) << output;
    EXPECT_TRUE(CheckedDatabase(dir.File("db")).empty());
    EXPECT_TRUE(fs::is_empty(dir.File("db/.incoming")));
}

// An object larger than --max-object-size aborts its association and leaves nothing behind;
// a smaller one is stored.
TEST(ServeDiskBounds, AnObjectPastTheSizeLimitIsAbortedAndLeavesNothing) {
    TempDir dir;
    MakeLargeObject(dir.Path() / "big" / "large.dcm", 256 * 1024);
    ServeProcess serve(dir.File("db"), {"--max-object-size", "64K"});
    ASSERT_TRUE(serve.started);
    std::string output = Storescu(serve.port, dir.Path() / "big", "-v");
    EXPECT_TRUE(AcknowledgedFiles(output).empty()) << output;
    EXPECT_TRUE(CheckedDatabase(dir.File("db")).empty());
    EXPECT_TRUE(fs::is_empty(dir.File("db/.incoming")));
    int code = -1;
    std::string small = RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(serve.port) + " " +
                                       Quote(PydicomFile("CT_small.dcm")) + " 2>&1",
                                   &code);
    EXPECT_EQ(code, 0) << small;
    EXPECT_EQ(CheckedDatabase(dir.File("db")).size(), 1u);
}

// Free space that falls under the reserve while an object arrives aborts its association and
// removes what was written; with the space back, the next store succeeds.
TEST(ServeDiskBounds, FreeSpaceFallingUnderTheReserveAbortsTheObject) {
    TempDir dir;
    SmallDisk disk(dir, "16m");
    if (!disk.mounted) GTEST_SKIP() << "cannot mount a small file system here: " << disk.reason;
    MakeLargeObject(dir.Path() / "big" / "large.dcm", 14 * 1024 * 1024);  // fits the disk, not the reserve
    ServeProcess serve((disk.path / "db").string(), {"--min-free", "8M"});
    ASSERT_TRUE(serve.started);
    std::string output = Storescu(serve.port, dir.Path() / "big", "-v");
    EXPECT_TRUE(AcknowledgedFiles(output).empty()) << output;
    EXPECT_TRUE(CheckedDatabase((disk.path / "db").string()).empty());
    EXPECT_TRUE(fs::is_empty(disk.path / "db" / ".incoming"));
    int code = -1;
    std::string small = RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(serve.port) + " " +
                                       Quote(PydicomFile("CT_small.dcm")) + " 2>&1",
                                   &code);
    EXPECT_EQ(code, 0) << small;
    EXPECT_EQ(CheckedDatabase((disk.path / "db").string()).size(), 1u);
}

// pella serve takes every storage class of the standard by default; --sop-classes original
// keeps to the classic table, which refuses RT objects at negotiation.
TEST(ServeConcurrency, EveryStorageClassIsTakenUnlessTheOriginalTableIsAsked) {
    for (bool original : {false, true}) {
        SCOPED_TRACE(original ? "original" : "all");
        TempDir dir;
        ServeProcess serve(dir.File("db"), original ? std::vector<std::string>{"--sop-classes", "original"}
                                                    : std::vector<std::string>{});
        ASSERT_TRUE(serve.started);
        std::string files;
        for (const char* name : {"CT_small.dcm", "rtplan.dcm", "rtdose.dcm"})
            files += Quote(PydicomFile(name)) + " ";
        std::string out = RunCommand("TCP_NODELAY=1 storescu 127.0.0.1 " + std::to_string(serve.port) + " " +
                                     files + " 2>&1");
        serve.process.Stop();
        std::size_t stored = CheckedDatabase(dir.File("db")).size();
        EXPECT_EQ(stored, original ? 1u : 3u) << out;
        EXPECT_EQ(out.find("No presentation context for: (RP)") != std::string::npos, original) << out;
    }
}

// The default table against DCMTK's: every SOP class of the standard's registry is proposed to
// storescp and to pella serve (128 contexts an association); pella takes every class storescp
// takes, and never a class that is not storage (commitment, media directory, query/retrieve).
TEST(ServeConcurrency, EveryClassDcmtksStorescpTakesIsTaken) {
    TempDir dir;
    const std::string candidates = dir.File("candidates.txt");
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c 'from pydicom._uid_dict import UID_dictionary as d\n"
                         "for u, v in sorted(d.items()):\n"
                         "    if v[1] in (\"SOP Class\", \"Meta SOP Class\"): print(u)' > " +
                         Quote(candidates) + " && echo ok"),
              "ok\n");
    auto accepted = [&](int port) {
        int code = -1;
        std::string out = RunCommand("/usr/bin/python3 " PELLA_SOURCE_DIR
                                     "/tests/services/scripts/accepted_classes.py 127.0.0.1 " +
                                         std::to_string(port) + " " + Quote(candidates) + " 2>&1",
                                     &code);
        EXPECT_EQ(code, 0) << out;
        std::set<std::string> uids;
        std::istringstream lines(out);
        for (std::string uid; std::getline(lines, uid);) uids.insert(uid);
        return uids;
    };
    StorescpRun storescp;
    ASSERT_TRUE(storescp.Start());
    std::set<std::string> dcmtk = accepted(std::stoi(storescp.Port()));
    storescp.Stop();
    ServeProcess serve(dir.File("db"));
    ASSERT_TRUE(serve.started);
    std::set<std::string> pella = accepted(serve.port);
    serve.process.Stop();

    EXPECT_GT(dcmtk.size(), 150u);
    for (const std::string& uid : dcmtk) EXPECT_TRUE(pella.count(uid)) << "storescp takes " << uid;
    // The archive's query, retrieve and commitment classes are served; other services not.
    for (const char* archive : {"1.2.840.10008.5.1.4.1.2.1.1", "1.2.840.10008.5.1.4.1.2.2.1",
                                "1.2.840.10008.5.1.4.1.2.2.2", "1.2.840.10008.1.20.1"})
        EXPECT_TRUE(pella.count(archive)) << archive;
    for (const char* other : {"1.2.840.10008.1.3.10", "1.2.840.10008.5.1.4.31", "1.2.840.10008.5.1.1.9"})
        EXPECT_FALSE(pella.count(other)) << other;
}
