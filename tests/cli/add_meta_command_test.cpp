// pella add-meta: short names, UIDs, help, and exit codes with the reason on stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>

#include "support/pixel_files.h"
#include "support/temp_dir.h"

using testing_support::kPydicomFiles;
using testing_support::ReadAll;
using testing_support::TempDir;

namespace {

struct Result {
    int exitCode = -1;
    std::string output;
};

Result Pella(const std::string& arguments) {
    Result r;
    std::string command = std::string(PELLA_CLI_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    std::array<char, 1024> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) r.output.append(chunk.data(), n);
    int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(AddMetaCommand, ShortNamesAndUidsBothWork) {
    TempDir dir;
    std::string little = dir.Write("le.dcm", ReadAll(kPydicomFiles + "ExplVR_LitEndNoMeta.dcm"));
    std::string big = dir.Write("be.dcm", ReadAll(kPydicomFiles + "ExplVR_BigEndNoMeta.dcm"));
    EXPECT_EQ(Pella("add-meta '" + little + "' explicit").exitCode, 0);
    EXPECT_EQ(Pella("add-meta '" + big + "' 1.2.840.10008.1.2.2").exitCode, 0);
    Result dump = Pella("elements '" + big + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    EXPECT_NE(dump.output.find("1.2.840.10008.1.2.2"), std::string::npos) << dump.output;
    // A second time: the file is a Part 10 file now and stays as it is.
    std::vector<uint8_t> bytes = ReadAll(little);
    Result again = Pella("add-meta '" + little + "' explicit");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.output.find("unchanged"), std::string::npos) << again.output;
    EXPECT_EQ(ReadAll(little), bytes);
}

TEST(AddMetaCommand, HelpUnknownNamesAndMissingArguments) {
    Result help = Pella("add-meta --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("jpeg-lossless"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("1.2.840.10008.1.2.4.50"), std::string::npos) << help.output;
    Result unknown = Pella("add-meta x.dcm little");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.output.find("'little'"), std::string::npos) << unknown.output;
    EXPECT_EQ(Pella("add-meta x.dcm").exitCode, 2);
    TempDir dir;
    Result missing = Pella("add-meta '" + dir.File("missing.dcm") + "' implicit");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("missing.dcm"), std::string::npos);
}
