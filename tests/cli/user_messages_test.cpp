// What the tool tells a user: every subcommand answers --version, and failures say what
// happened in the user's words (refused, unknown host, address in use), never a function name.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pella.h"
#include "support/loopback_listener.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/serve_process.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

// The subcommand names `pella --help` lists.
std::vector<std::string> Subcommands() {
    std::istringstream help(RunCommand({PELLA_CLI_PATH, "--help"}).out);
    std::vector<std::string> names;
    std::string line;
    bool inList = false;
    while (std::getline(help, line)) {
        if (line == "commands:")
            inList = true;
        else if (inList && line.rfind("  ", 0) == 0)
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
        else if (inList)
            break;
    }
    return names;
}

}  // namespace

TEST(UserMessages, EverySubcommandAnswersVersion) {
    std::vector<std::string> commands = Subcommands();
    ASSERT_GE(commands.size(), 15u);
    commands.push_back("");  // `pella --version` itself
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        std::vector<std::string> argv = {PELLA_CLI_PATH};
        if (!command.empty()) argv.push_back(command);
        argv.push_back("--version");
        CommandResult run = RunCommand(argv, true);
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_EQ(run.out, std::string(PELLA_VERSION) + "\n");
    }
}

TEST(UserMessages, FailuresSayWhatHappened) {
    TempDir dir;
    ServeProcess running(dir.File("db"));
    ASSERT_TRUE(running.started);
    int closedPort = FreePort();
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"echo", "127.0.0.1", std::to_string(closedPort)}, "Connection refused"},
        {{"echo", "no-such-host.invalid", "104"}, "not known"},
        {{"store", "127.0.0.1", std::to_string(closedPort), PydicomFile("CT_small.dcm")},
         "Connection refused"},
        {{"serve", "--port", std::to_string(running.port), "--dir", dir.File("other")}, "in use"},
        {{"add-meta", dir.File("missing.dcm"), "explicit"}, "missing.dcm"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {PELLA_CLI_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        CommandResult run = RunCommand(argv, true);
        EXPECT_NE(run.exitCode, 0) << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        for (const char* internal : {"AppendMetaHeader", "ConvertFileTS", "ConvertDataset", "OpenAssoc"})
            EXPECT_EQ(run.out.find(internal), std::string::npos) << run.out;
    }
}
