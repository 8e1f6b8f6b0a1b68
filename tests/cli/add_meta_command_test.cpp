// pella add-meta: short names, UIDs, help, and exit codes with the reason on stderr.
#include <gtest/gtest.h>

#include "support/pixel_files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

using testing_support::PydicomFile;
using testing_support::ReadAll;
using testing_support::TempDir;

namespace {

testing_support::CommandResult Pella(const std::string& arguments) {
    return testing_support::Capture(std::string(PELLA_CLI_PATH) + " " + arguments);
}

}  // namespace

TEST(AddMetaCommand, ShortNamesAndUidsBothWork) {
    TempDir dir;
    std::string little = dir.Write("le.dcm", ReadAll(PydicomFile("ExplVR_LitEndNoMeta.dcm")));
    std::string big = dir.Write("be.dcm", ReadAll(PydicomFile("ExplVR_BigEndNoMeta.dcm")));
    EXPECT_EQ(Pella("add-meta '" + little + "' explicit").exitCode, 0);
    EXPECT_EQ(Pella("add-meta '" + big + "' 1.2.840.10008.1.2.2").exitCode, 0);
    testing_support::CommandResult dump = Pella("elements '" + big + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.out;
    EXPECT_NE(dump.out.find("1.2.840.10008.1.2.2"), std::string::npos) << dump.out;
    // A second time: the file is a Part 10 file now and stays as it is.
    std::vector<uint8_t> bytes = ReadAll(little);
    testing_support::CommandResult again = Pella("add-meta '" + little + "' explicit");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.out.find("unchanged"), std::string::npos) << again.out;
    EXPECT_EQ(ReadAll(little), bytes);
}

TEST(AddMetaCommand, HelpUnknownNamesAndMissingArguments) {
    testing_support::CommandResult help = Pella("add-meta --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("jpeg-lossless"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("1.2.840.10008.1.2.4.50"), std::string::npos) << help.out;
    testing_support::CommandResult unknown = Pella("add-meta x.dcm little");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.out.find("'little'"), std::string::npos) << unknown.out;
    EXPECT_EQ(Pella("add-meta x.dcm").exitCode, 2);
    TempDir dir;
    testing_support::CommandResult missing = Pella("add-meta '" + dir.File("missing.dcm") + "' implicit");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("missing.dcm"), std::string::npos);
}
