// The libraries libpella loads on first use rather than at start: cairo for ECG pages, libjpeg and
// libpng for JPEG and PNG files, GDCM's JPEG builds for JPEG frames, OpenJPEG for JPEG 2000 frames, libpq for
// PostgreSQL indexes, OpenJPH (through the module libpella_htj2k.so) for HTJ2K encoding, SQLite for archive
// indexes, OpenSSL's libcrypto for keyed UIDs and password hashes and its libssl for TLS. Each run of the
// tool is watched through the dynamic loader's own account of what it loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/log_file.h"
#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

// The loader's account of a run of the tool (LD_DEBUG=libs) with the tool's own output.
CommandResult LoadedBy(const std::string& arguments) {
    return RunShell("LD_DEBUG=libs " + Quote(PELLA_CLI_PATH) + " " + arguments + " 2>&1");
}

bool Initialized(const std::string& account, const std::string& library) {
    for (std::size_t at = account.find("calling init: "); at != std::string::npos;
         at = account.find("calling init: ", at + 1)) {
        const std::size_t end = account.find('\n', at);
        if (account.substr(at, end - at).find(library) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

TEST(OnDemandLibraries, EachIsLoadedByTheCommandThatUsesItOnly) {
    TempDir dir;
    const std::string ct = Quote(PydicomFile("CT_small.dcm"));
    const std::string unreachable =
        Quote("postgresql://pella@127.0.0.1:" + std::to_string(FreePort()) + "/pella");
    std::filesystem::create_directory(dir.File("empty"));
    dir.Write("password", {'p', 'w', '\n'});
    // The server opens its index before it listens, then fails on the port taken here.
    LoopbackListener taken;
    ASSERT_TRUE(taken.Listening());
    struct Case {
        std::string arguments;
        int exitCode;
        std::vector<std::string> loaded;
    };
    const Case cases[] = {
        {"--version", 0, {}},
        {"convert " + ct + " " + Quote(dir.File("explicit.dcm")) + " explicit", 0, {}},
        {"convert " + ct + " " + Quote(dir.File("ls.dcm")) + " 1.2.840.10008.1.2.4.80", 0, {}},
        // cairo brings libpng itself.
        {"ecg " + Quote(PydicomFile("waveform_ecg.dcm")) + " " + Quote(dir.File("p.png")),
         0,
         {"libcairo.so.2", "libpng16.so.16"}},
        {"render " + ct + " " + Quote(dir.File("r.png")), 0, {"libpng16.so.16"}},
        {"thumbnail " + ct + " " + Quote(dir.File("t.jpg")) + " 64", 0, {"libjpeg.so.62"}},
        {"convert " + ct + " " + Quote(dir.File("jpeg.dcm")) + " 1.2.840.10008.1.2.4.70",
         0,
         {"libgdcmjpeg16.so.3.0"}},
        {"convert " + Quote(PydicomFile("SC_rgb_jpeg_dcmtk.dcm")) + " " + Quote(dir.File("rgb.dcm")) +
             " explicit",
         0,
         {"libgdcmjpeg8.so.3.0"}},
        {"convert " + ct + " " + Quote(dir.File("j2k.dcm")) + " 1.2.840.10008.1.2.4.90",
         0,
         {"libopenjp2.so.7"}},
        {"convert " + ct + " " + Quote(dir.File("htj2k.dcm")) + " htj2k-lossless",
         0,
         {"libpella_htj2k.so", "libopenjph"}},
        // libpq is loaded to read the location and connect (it brings OpenSSL); nothing listens there.
        {"index migrate --from " + Quote(dir.File("empty")) + " --to " + unreachable,
         1,
         {"libpq.so.5", "libssl.so.3", "libcrypto.so.3"}},
        {"anonymize --key k --out-dir " + Quote(dir.File("anonymized")) + " " + ct, 0, {"libcrypto.so.3"}},
        {"user add " + Quote(dir.File("users")) + " bob < " + Quote(dir.File("password")),
         0,
         {"libcrypto.so.3"}},
        // The TLS context is made before the connection is tried; nothing listens there.
        {"echo --tls 127.0.0.1 " + std::to_string(FreePort()), 1, {"libssl.so.3", "libcrypto.so.3"}},
        {"serve --dir " + Quote(dir.File("store")) + " --port " + std::to_string(taken.Port()),
         1,
         {"libsqlite3.so.0"}},
    };
    const std::vector<std::string> onDemand = {"libcairo",   "libjpeg",    "libpng",    "libgdcmjpeg",
                                               "libopenjp2", "libopenjph", "libpq",     "libpella_htj2k",
                                               "libssl",     "libcrypto",  "libsqlite3"};
    for (const Case& c : cases) {
        CommandResult run = LoadedBy(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << ": " << run.out;
        EXPECT_TRUE(Initialized(run.out, "libcharls")) << "no account of the loaded libraries: " << run.out;
        for (const std::string& library : onDemand) {
            bool wanted = false;
            for (const std::string& name : c.loaded) wanted = wanted || name.starts_with(library);
            EXPECT_EQ(Initialized(run.out, library), wanted) << c.arguments << ": " << library;
        }
    }
    CommandResult dumped = RunCommand({PELLA_CLI_PATH, "dump", dir.File("htj2k.dcm")}, true);
    EXPECT_NE(dumped.out.find("1.2.840.10008.1.2.4.201"), std::string::npos) << dumped.out;
    // The commands that loaded a library on demand did their work with it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("anonymized")), {}), 1);
    EXPECT_NE(ReadText(dir.File("users")).find("bob pbkdf2-sha256 "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.File("store/index.sqlite")));
    EXPECT_GT(std::filesystem::file_size(dir.File("r.png")), 0u);
    EXPECT_GT(std::filesystem::file_size(dir.File("t.jpg")), 0u);
}

TEST(OnDemandLibraries, AnUnloadableLibraryFailsOnlyTheCommandsThatNeedIt) {
    // Files of the libraries' names that the loader refuses, found first through LD_LIBRARY_PATH.
    TempDir dir;
    for (const char* name : {"libssl.so.3", "libcrypto.so.3", "libsqlite3.so.0", "libpng16.so.16",
                             "libjpeg.so.62", "libgdcmjpeg16.so.3.0", "libopenjp2.so.7"})
        dir.Write(name, {});
    dir.Write("password", {'p', 'w', '\n'});
    LoopbackListener taken;
    ASSERT_TRUE(taken.Listening());
    const std::string ct = Quote(PydicomFile("CT_small.dcm"));
    struct Case {
        std::string arguments;
        int exitCode;
        std::string reason;  // empty: the command succeeds
        std::string notMade;
    };
    const Case cases[] = {
        {"echo --tls 127.0.0.1 " + std::to_string(FreePort()), 2, "OpenSSL cannot be loaded: ", ""},
        {"user add " + Quote(dir.File("users")) + " bob < " + Quote(dir.File("password")), 1,
         "OpenSSL cannot be loaded: ", "users"},
        {"anonymize --key k --out-dir " + Quote(dir.File("anonymized")) + " " + ct, 1,
         "OpenSSL cannot be loaded: ", "anonymized/"},
        {"serve --dir " + Quote(dir.File("store")) + " --port " + std::to_string(taken.Port()), 1,
         "SQLite cannot be loaded: ", "store/index.sqlite"},
        {"render " + ct + " " + Quote(dir.File("r.png")), 1, "libpng cannot be loaded: ", "r.png"},
        {"thumbnail " + ct + " " + Quote(dir.File("t.jpg")) + " 64", 1,
         "libjpeg cannot be loaded: ", "t.jpg"},
        {"convert " + ct + " " + Quote(dir.File("jpeg.dcm")) + " 1.2.840.10008.1.2.4.70", 1,
         "libgdcmjpeg16 cannot be loaded: ", "jpeg.dcm"},
        {"convert " + ct + " " + Quote(dir.File("j2k.dcm")) + " 1.2.840.10008.1.2.4.90", 1,
         "OpenJPEG cannot be loaded: ", "j2k.dcm"},
        {"convert " + ct + " " + Quote(dir.File("ls.dcm")) + " 1.2.840.10008.1.2.4.80", 0, "", ""},
    };
    for (const Case& c : cases) {
        CommandResult run = Capture("LD_LIBRARY_PATH=" + Quote(dir.Path().string()) + " " +
                                    Quote(PELLA_CLI_PATH) + " " + c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << ": " << run.out;
        EXPECT_FALSE(run.signaled) << c.arguments;
        if (!c.reason.empty()) {
            EXPECT_NE(run.out.find(c.reason + dir.Path().string()), std::string::npos)
                << c.arguments << ": " << run.out;
        }
        if (!c.notMade.empty()) {
            const std::filesystem::path made = dir.File(c.notMade);
            EXPECT_TRUE(!std::filesystem::exists(made) || std::filesystem::is_empty(made)) << c.arguments;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("ls.dcm")));
}

TEST(OnDemandLibraries, AMissingHtj2kModuleFailsTheEncodeWithItsReason) {
    // A libpella without the module beside it, found first through LD_LIBRARY_PATH.
    TempDir dir;
    std::filesystem::copy_file(PELLA_LIBRARY_PATH, dir.File("libpella.so.0"));
    const std::string run = "LD_LIBRARY_PATH=" + Quote(dir.Path().string()) + " " + Quote(PELLA_CLI_PATH) +
                            " convert " + Quote(PydicomFile("CT_small.dcm")) + " ";
    CommandResult htj2k = Capture(run + Quote(dir.File("h.dcm")) + " htj2k-lossless");
    EXPECT_EQ(htj2k.exitCode, 1) << htj2k.out;
    EXPECT_FALSE(htj2k.signaled);
    EXPECT_NE(htj2k.out.find("HTJ2K encoding needs libpella_htj2k.so"), std::string::npos) << htj2k.out;
    EXPECT_FALSE(std::filesystem::exists(dir.File("h.dcm")));
    CommandResult jpegLs = Capture(run + Quote(dir.File("l.dcm")) + " jpeg-ls");
    EXPECT_EQ(jpegLs.exitCode, 0) << jpegLs.out;
}
