// The libraries libpella loads on first use rather than at start: cairo for ECG pages, libpq for
// PostgreSQL indexes, OpenJPH (through the module libpella_htj2k.so) for HTJ2K encoding. Each
// run of the tool is watched through the dynamic loader's own account of what it loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
    struct Case {
        std::string arguments;
        int exitCode;
        std::vector<std::string> loaded;
    };
    const Case cases[] = {
        {"--version", 0, {}},
        {"convert " + ct + " " + Quote(dir.File("explicit.dcm")) + " explicit", 0, {}},
        {"ecg " + Quote(PydicomFile("waveform_ecg.dcm")) + " " + Quote(dir.File("p.png")),
         0,
         {"libcairo.so.2"}},
        {"convert " + ct + " " + Quote(dir.File("htj2k.dcm")) + " htj2k-lossless",
         0,
         {"libpella_htj2k.so", "libopenjph"}},
        // libpq is loaded to read the location and connect; nothing listens there.
        {"index migrate --from " + Quote(dir.File("empty")) + " --to " + unreachable, 1, {"libpq.so.5"}},
    };
    const std::vector<std::string> onDemand = {"libcairo", "libpq", "libopenjph", "libpella_htj2k"};
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
