// pella print: help, usage errors, and failures that never reach a printer or find none.
#include <gtest/gtest.h>

#include <string>

#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

TEST(PrintCommand, FailsWithTheStepsLineAndExitCode) {
    TempDir dir;
    std::string port = std::to_string(FreePort());  // nothing listens there
    std::string jpeg = dir.Write("ct.Jpg", {0xFF, 0xD8, 0xFF, 0xE0});
    std::string broken = dir.Write("ct.jpg", {0xFF, 0xD8, 0xFF, 0xE0});
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
        bool connects;  // an association was tried
    };
    const Case cases[] = {
        {{"--help"}, 0, "--max-density", false},
        {{"localhost", port}, 2, "", false},
        {{"localhost", port, PydicomFile("CT_small.dcm")}, 1, "Connection Failed!", true},
        {{"localhost", port, jpeg}, 1, "ERROR: opening DICOM File: " + jpeg, false},
        {{"localhost", port, broken}, 1, "ERROR: opening JPEG File: " + broken, false},
        {{"localhost", port, dir.File("missing.dcm")}, 1, "ERROR: opening DICOM File", false},
        {{"--min-density", "1e3", "localhost", port, PydicomFile("CT_small.dcm")},
         1,
         "Min Density '1e3' is not a number from 0 to 65535",
         false},
        {{"localhost", port, PydicomFile("CT_small.dcm"), "-aet", std::string(17, 'A')},
         2,
         "longer than 16",
         false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {PELLA_CLI_PATH, "print"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(argv.back());
        CommandResult run = RunCommand(argv, true);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Connection Failed!") != std::string::npos, c.connects) << run.out;
    }
}
