// The JSON of `pella dump --json` against pydicom's to_json_dict(), on pydicom's own samples
// and on files pydicom writes in several character sets (compare_with_pydicom.py tells which
// differences are expected and why).
#include <gtest/gtest.h>

#include <string>

#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using testing_support::CommandResult;
using testing_support::PydicomTestFiles;
using testing_support::Quote;
using testing_support::RunShell;
using testing_support::TempDir;

namespace {

const std::string kScripts = std::string(PELLA_SOURCE_DIR) + "/tests/data/json/";

// Samples pydicom reads and Pella refuses, each for a reason of its own:
// MR_truncated.dcm and rtplan_truncated.dcm end inside a value (pydicom keeps what is there);
// SC_rgb_jpeg.dcm says explicit VR but is encoded implicitly (dcmdump refuses it too).
// (image_dfl.dcm, deflated, is inflated and compared like every other sample.)
const char* kRefused = "MR_truncated.dcm,rtplan_truncated.dcm,SC_rgb_jpeg.dcm";

CommandResult Compare(const std::string& files) {
    return RunShell("/usr/bin/python3 -W ignore " + Quote(kScripts + "compare_with_pydicom.py") +
                    " --refused " + kRefused + " " + Quote(PELLA_CLI_PATH) + " " + files + " 2>&1");
}

}  // namespace

TEST(JsonAgainstPydicom, EverySampleAgreesElementByElement) {
    CommandResult r = Compare("$(find " + Quote(PydicomTestFiles().string()) + " -type f | sort)");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find(" 0 differences"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 refused by pella"), std::string::npos) << r.out;
}

TEST(JsonAgainstPydicom, TextsInNineCharacterSetsAgree) {
    TempDir dir;
    ASSERT_EQ(RunShell("/usr/bin/python3 " + Quote(kScripts + "make_charset_files.py") + " " +
                       Quote(dir.Path().string()))
                  .exitCode,
              0);
    CommandResult r = Compare(Quote(dir.Path().string()) + "/*.dcm");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("compared 9 files"), std::string::npos) << r.out;
    // And the texts themselves, as a reader of the JSON sees them.
    CommandResult latin1 = RunShell(Quote(PELLA_CLI_PATH) + " dump --json " + Quote(dir.File("latin1.dcm")));
    EXPECT_NE(latin1.out.find(R"("Alphabetic":"Müller^Jürgen")"), std::string::npos) << latin1.out;
    CommandResult japanese =
        RunShell(Quote(PELLA_CLI_PATH) + " dump --json " + Quote(dir.File("japanese.dcm")));
    EXPECT_NE(japanese.out.find(R"("Ideographic":"山田^太郎")"), std::string::npos) << japanese.out;
}
