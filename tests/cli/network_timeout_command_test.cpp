// --timeout on every network command of pella: against a peer that takes the connection and
// never answers, each command fails within the limit and says what timed out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace testing_support;

TEST(NetworkCommands, TimeoutEndsAWaitForASilentPeerWithTheReason) {
    TempDir dir;
    std::string series = dir.File("series");
    std::filesystem::create_directories(series);
    std::filesystem::copy_file(PydicomFile("CT_small.dcm"), series + "/CT_small.dcm");
    const std::vector<std::vector<std::string>> commands = {
        {"echo"},
        {"store", PydicomFile("CT_small.dcm")},
        {"send-series", series},
        {"find"},
        {"move", "-aem", "ELSEWHERE", "--all"},
        {"worklist"},
        {"print", PydicomFile("CT_small.dcm")},
    };
    for (bool associationAnswered : {false, true}) {
        for (const auto& command : commands) {
            SCOPED_TRACE(command[0] + (associationAnswered ? " after the association" : " before it"));
            ScriptedPeer peer;
            if (associationAnswered) peer.AcceptProposed();
            peer.WaitForClose().Start();
            // The positional arguments stand in the command's order: HOST PORT, then the rest.
            std::vector<std::string> argv = {PELLA_CLI_PATH, command[0],     "--timeout", "1",
                                             "127.0.0.1",    peer.PortText()};
            argv.insert(argv.end(), command.begin() + 1, command.end());
            CommandResult run = RunCommand(argv, true);
            EXPECT_EQ(run.exitCode, 1) << run.out;
            EXPECT_NE(run.out.find("within 1 s"), std::string::npos) << run.out;
        }
    }
}

TEST(NetworkCommands, TimeoutAndMaxResultsValuesAreChecked) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"echo", "--timeout", "0"}, "--timeout wants"},
        {{"echo", "-to", "86401"}, "--timeout wants"},
        {{"find", "--max-results", "0"}, "--max-results wants"},
        {{"worklist", "--max-results", "x"}, "--max-results wants"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {PELLA_CLI_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        argv.insert(argv.end(), {"127.0.0.1", "104"});
        CommandResult run = RunCommand(argv, true);
        EXPECT_EQ(run.exitCode, 2) << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
}
