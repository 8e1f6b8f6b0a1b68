// pella dicomdir: the record tree as indented text and as nested JSON.
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

const std::string kDicomdir = Quote(PydicomFile("dicomdirtests/DICOMDIR-reordered"));

}  // namespace

TEST(DicomdirCommand, PrintsTheTreeIndented) {
    int code = -1;
    std::string out = Pella("dicomdir " + kDicomdir, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(
        out.rfind(
            "PATIENT  PatientName=\"Doe^Archibald\"  PatientID=\"77654033\"\n  STUDY  StudyDate=\"20010101\"",
            0),
        0u)
        << out;
    EXPECT_NE(out.find("\n    SERIES  Modality=\"CR\""), std::string::npos);
    EXPECT_NE(out.find("\n      IMAGE  ReferencedFileID=\"77654033/CR1/6154\""), std::string::npos);
}

// The JSON tree, read back by Python: every level nested in its parent, in the text's order.
TEST(DicomdirCommand, JsonTreeMatchesTheText) {
    int code = -1;
    std::string json = RunCommand(std::string(PELLA_CLI_PATH) + " dicomdir --json " + kDicomdir +
                                      " | /usr/bin/python3 -c '\n"
                                      "import json, sys\n"
                                      "def walk(nodes, depth):\n"
                                      "    for n in nodes:\n"
                                      "        print(\"  \" * depth + n[\"type\"], n.get(\"PatientID\", "
                                      "n.get(\"ReferencedFileID\", \"\")))\n"
                                      "        walk(n.get(\"children\", []), depth + 1)\n"
                                      "walk(json.load(sys.stdin), 0)'",
                                  &code);
    EXPECT_EQ(code, 0);
    std::string text = Pella("dicomdir " + kDicomdir, code);
    // The same records in the same order and depth.
    int records = 0;
    for (std::size_t p = 0, q = 0; (q = json.find('\n', p)) != std::string::npos; p = q + 1, ++records) {
        std::string line = json.substr(p, q - p);
        std::string prefix = line.substr(0, line.find(' ', line.find_first_not_of(' ')));
        EXPECT_NE(("\n" + text).find("\n" + prefix + " "), std::string::npos) << line;
    }
    EXPECT_EQ(records, 2 + 6 + 13 + 31);  // dcmdump counts 2 patients, 6 studies, 13 series, 31 images
    EXPECT_NE(json.find("\n      IMAGE 77654033/CR1/6154\n"), std::string::npos) << json;
}

TEST(DicomdirCommand, FailsWithAReason) {
    int code = -1;
    std::string out = Pella("dicomdir " + Quote(PydicomFile("CT_small.dcm")), code, true);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("not a DICOMDIR"), std::string::npos);
    Pella("dicomdir --help", code);
    EXPECT_EQ(code, 0);
    Pella("dicomdir", code);
    EXPECT_EQ(code, 2);
}
