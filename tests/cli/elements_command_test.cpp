// The pella tool as a user runs it: exit codes, stdout for results, stderr for reasons.
#include <gtest/gtest.h>

#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

std::string Pella(const std::string& arguments, int& exitCode, bool withStderr = false) {
    return RunCommand(std::string(PELLA_CLI_PATH) + " " + arguments + (withStderr ? " 2>&1" : " 2>/dev/null"),
                      &exitCode);
}

}  // namespace

TEST(ElementsCommand, ListsTheElementsOfARealFile) {
    std::string file = Quote((PydicomTestFiles() / "CT_small.dcm").string());
    int code = -1;
    std::string out = Pella("elements " + file, code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("(0002,0010) UI"), std::string::npos);
    EXPECT_NE(out.find("\"1.2.840.10008.1.2.1\""), std::string::npos);
    EXPECT_NE(out.find("(0010,0010) PN"), std::string::npos);
    EXPECT_NE(out.find("\"CompressedSamples^CT1\""), std::string::npos);
    EXPECT_NE(out.find("(7FE0,0010) OW      32768"), std::string::npos);

    // Options are accepted after the positional argument too.
    std::string after = Pella("elements " + file + " --max-preview 4", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(after.find("\"Comp\"..."), std::string::npos);
}

TEST(ElementsCommand, FailsWithAReasonOnStderr) {
    TempDir dir;
    int code = -1;
    std::string out = Pella("elements " + Quote(dir.Write("bad.dcm", {1, 2, 3})), code, true);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot read"), std::string::npos);

    Pella("elements", code);
    EXPECT_EQ(code, 2);
    Pella("elements --no-such-option x.dcm", code);
    EXPECT_EQ(code, 2);
    std::string help = Pella("elements --help", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(help.find("usage: pella elements"), std::string::npos);
    Pella("no-such-command", code);
    EXPECT_EQ(code, 2);
}
