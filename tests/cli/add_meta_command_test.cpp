// pella add-meta: short names, UIDs, help, and exit codes with the reason on stderr.
#include <gtest/gtest.h>

#include "support/pixel_files.h"
#include "support/temp_dir.h"

using testing_support::PydicomFile;
using testing_support::ReadAll;
using testing_support::TempDir;

namespace {

testing_support::ToolOutput Pella(const std::string& arguments) {
    return testing_support::Capture(std::string(PELLA_CLI_PATH) + " " + arguments);
}

}  // namespace

TEST(AddMetaCommand, ShortNamesAndUidsBothWork) {
    TempDir dir;
    std::string little = dir.Write("le.dcm", ReadAll(PydicomFile("ExplVR_LitEndNoMeta.dcm")));
    std::string big = dir.Write("be.dcm", ReadAll(PydicomFile("ExplVR_BigEndNoMeta.dcm")));
    EXPECT_EQ(Pella("add-meta '" + little + "' explicit").exitCode, 0);
    EXPECT_EQ(Pella("add-meta '" + big + "' 1.2.840.10008.1.2.2").exitCode, 0);
    testing_support::ToolOutput dump = Pella("elements '" + big + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.text;
    EXPECT_NE(dump.text.find("1.2.840.10008.1.2.2"), std::string::npos) << dump.text;
    // A second time: the file is a Part 10 file now and stays as it is.
    std::vector<uint8_t> bytes = ReadAll(little);
    testing_support::ToolOutput again = Pella("add-meta '" + little + "' explicit");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.text.find("unchanged"), std::string::npos) << again.text;
    EXPECT_EQ(ReadAll(little), bytes);
}

TEST(AddMetaCommand, HelpUnknownNamesAndMissingArguments) {
    testing_support::ToolOutput help = Pella("add-meta --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.text.find("jpeg-lossless"), std::string::npos) << help.text;
    EXPECT_NE(help.text.find("1.2.840.10008.1.2.4.50"), std::string::npos) << help.text;
    testing_support::ToolOutput unknown = Pella("add-meta x.dcm little");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.text.find("'little'"), std::string::npos) << unknown.text;
    EXPECT_EQ(Pella("add-meta x.dcm").exitCode, 2);
    TempDir dir;
    testing_support::ToolOutput missing = Pella("add-meta '" + dir.File("missing.dcm") + "' implicit");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.text.find("missing.dcm"), std::string::npos);
}
