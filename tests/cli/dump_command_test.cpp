// pella dump and pella header on real files written by other systems.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/sample_files.h"

using testing_support::CommandResult;
using testing_support::PydicomFile;
using testing_support::PydicomTestFiles;
using testing_support::RunCommand;

namespace {

// Every .dcm file of the samples, and every file of the DICOMDIR test folder.
std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PydicomTestFiles())) {
        if (!entry.is_regular_file()) continue;
        std::string path = entry.path().string();
        bool inDicomdirTests = path.find("/dicomdirtests/") != std::string::npos;
        if (inDicomdirTests || entry.path().extension() == ".dcm") files.push_back(path);
    }
    return files;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Crashed(const CommandResult& r) {
    return r.signaled || r.out.find("Sanitizer") != std::string::npos ||
           r.out.find("runtime error:") != std::string::npos;
}

// Top-level lines of a dump, keyed by the tag "GGGGEEEE".
std::map<std::string, std::string> TopLevelLines(const std::string& dump) {
    std::map<std::string, std::string> lines;
    for (const std::string& line : Lines(dump))
        if (line.size() > 12 && line[0] == '(' && line.compare(5, 2, ", ") == 0)
            lines.emplace(line.substr(1, 4) + line.substr(7, 4), line);
    return lines;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Prints "path<TAB>GGGGEEEE<TAB>name<TAB>value" for the top-level elements, meta group
// included, with the value only for single US values.
const char* kPydicomNames = R"(
import sys, pydicom
for path in sys.argv[1:]:
    ds = pydicom.dcmread(path)
    for e in list(ds.file_meta) + list(ds):
        value = str(e.value) if e.VR == 'US' and e.VM == 1 else ''
        print('%s\t%08X\t%s\t%s' % (path, e.tag, e.name, value))
)";

}  // namespace

TEST(DumpCommand, EverySampleFileDumpsWithoutACrash) {
    auto files = SampleFiles();
    ASSERT_GT(files.size(), 150u);
    int readable = 0;
    for (const std::string& file : files) {
        for (const char* command : {"dump", "header"}) {
            CommandResult r = RunCommand({PELLA_CLI_PATH, command, file}, true);
            EXPECT_FALSE(Crashed(r)) << command << " " << file << "\n" << r.out.substr(0, 2000);
            EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << command << " " << file;
            if (r.exitCode == 1) {
                EXPECT_NE(r.out.find("cannot read"), std::string::npos) << file;
            }
            if (r.exitCode == 0 && std::string(command) == "dump") {
                ++readable;
                EXPECT_FALSE(r.out.empty()) << file;
            }
        }
    }
    EXPECT_GT(readable, 140);
}

TEST(DumpCommand, NamesAndNumbersMatchPydicom) {
    const std::vector<std::string> files = {PydicomFile("CT_small.dcm"),
                                            PydicomFile("MR_small.dcm"),
                                            PydicomFile("rtplan.dcm"),
                                            PydicomFile("reportsi.dcm"),
                                            PydicomFile("waveform_ecg.dcm"),
                                            PydicomFile("dicomdirtests/DICOMDIR"),
                                            PydicomFile("MR_small_bigendian.dcm"),
                                            PydicomFile("JPEG2000.dcm")};
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", kPydicomNames};
    argv.insert(argv.end(), files.begin(), files.end());
    CommandResult expected = RunCommand(argv);
    ASSERT_EQ(expected.exitCode, 0) << "pydicom could not read the samples";

    std::map<std::string, std::map<std::string, std::string>> dumps;
    for (const std::string& file : files) {
        CommandResult r = RunCommand({PELLA_CLI_PATH, "dump", file});
        ASSERT_EQ(r.exitCode, 0) << file;
        dumps[file] = TopLevelLines(r.out);
    }
    int compared = 0;
    int numbers = 0;
    for (const std::string& row : Lines(expected.out)) {
        std::vector<std::string> fields;
        std::istringstream in(row);
        for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
        if (fields.size() < 3) continue;
        const std::string& file = fields[0];
        const std::string& tag = fields[1];
        unsigned group = std::stoul(tag.substr(0, 4), nullptr, 16);
        bool privateTag = group % 2 == 1;
        bool groupLength = tag.substr(4) == "0000";
        bool repeated = ((group & 0xFF00) == 0x5000 || (group & 0xFF00) == 0x6000) && (group & 0xFF) != 0;
        if (privateTag || groupLength || repeated) continue;
        auto line = dumps[file].find(tag);
        ASSERT_NE(line, dumps[file].end()) << file << " " << tag;
        std::string name = line->second.substr(line->second.rfind(" - ") + 3);
        if (EndsWith(name, " (RET)")) name.resize(name.size() - 6);
        EXPECT_TRUE(EndsWith(line->second, " - " + fields[2]) || name == fields[2])
            << file << ": " << line->second << " vs " << fields[2];
        ++compared;
        bool bigEndian = file.find("bigendian") != std::string::npos;
        if (fields.size() == 4 && !fields[3].empty() && !bigEndian) {
            EXPECT_NE(line->second.find("  \"" + fields[3] + "\" - "), std::string::npos)
                << file << ": " << line->second << " vs " << fields[3];
            ++numbers;
        }
    }
    EXPECT_GT(compared, 300);
    EXPECT_GT(numbers, 20);
}

TEST(DumpCommand, ShowsMetaThenDataSetWithPixelData) {
    CommandResult r = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("CT_small.dcm")});
    ASSERT_EQ(r.exitCode, 0);
    auto lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "(0002, 0000), 4, UL  \"192\" - Group Length");
    auto top = TopLevelLines(r.out);
    EXPECT_EQ(top["7FE00010"], "(7FE0, 0010), 32768, OW - Pixel Data");
    EXPECT_EQ(lines.back(), "(FFFC, FFFC), 126, OB  \".\" - Data Set Trailing Padding");
    EXPECT_EQ(top["00280010"], "(0028, 0010), 2, US  \"128\" - Rows");
    EXPECT_EQ(top["00100010"], "(0010, 0010), 22, PN  \"CompressedSamples^CT1 \" - Patient's Name");
}

TEST(DumpCommand, ImplicitDataSetsShowTheDictionaryVRs) {
    CommandResult r = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("rtplan.dcm")});
    ASSERT_EQ(r.exitCode, 0);
    auto top = TopLevelLines(r.out);
    EXPECT_EQ(top["00100010"], "(0010, 0010), 18, PN  \"Last^First^mid^pre\" - Patient's Name");
    EXPECT_EQ(top["300A0010"], "(300A, 0010), 324, SQ - Dose Reference Sequence");
}

TEST(DumpCommand, ItemsOfUndefinedLengthAreIndented) {
    // Explicit VR: items carry no VR of their own.
    CommandResult r = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("JPEG2000.dcm")});
    ASSERT_EQ(r.exitCode, 0);
    auto lines = Lines(r.out);
    bool sawItemContent = false;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (lines[i] == "(FFFE, E000),  - Item" &&
            lines[i - 1] == "(0008, 2112), SQ - Source Image Sequence") {
            EXPECT_EQ(lines[i + 1],
                      ".....(0008, 1150), 26, UI  \"1.2.840.10008.5.1.4.1.1.7\" - Referenced SOP Class UID");
            sawItemContent = true;
        }
        if (lines[i] == ".....(FFFE, E00D),  - Item Delimitation Item") {
            EXPECT_EQ(lines[i + 1][0], '(') << lines[i + 1];
        }
    }
    EXPECT_TRUE(sawItemContent);
}

TEST(HeaderCommand, StopsBeforeThePixelData) {
    CommandResult r = RunCommand({PELLA_CLI_PATH, "header", PydicomFile("CT_small.dcm")});
    ASSERT_EQ(r.exitCode, 0);
    auto top = TopLevelLines(r.out);
    EXPECT_EQ(top["00020010"], "(0002, 0010), 20, UI  \"1.2.840.10008.1.2.1\" - Transfer Syntax UID");
    EXPECT_EQ(top.count("7FE00010"), 0u);
    EXPECT_EQ(top["00280010"], "(0028, 0010), 2, US  \"128\" - Rows");

    CommandResult implicitFile = RunCommand({PELLA_CLI_PATH, "header", PydicomFile("rtplan.dcm")});
    ASSERT_EQ(implicitFile.exitCode, 0);
    EXPECT_EQ(TopLevelLines(implicitFile.out)["00100010"],
              "(0010, 0010), 18, PN  \"Last^First^mid^pre\" - Patient's Name");
}

TEST(HeaderCommand, FailuresAndHelp) {
    for (const char* command : {"dump", "header"}) {
        CommandResult missing = RunCommand({PELLA_CLI_PATH, command, "/nonexistent/x.dcm"}, true);
        EXPECT_EQ(missing.exitCode, 1) << command;
        EXPECT_NE(missing.out.find("cannot read '/nonexistent/x.dcm'"), std::string::npos);
        CommandResult noPreamble = RunCommand({PELLA_CLI_PATH, command, PydicomFile("no_meta.dcm")});
        EXPECT_EQ(noPreamble.exitCode, 1) << command;
        EXPECT_EQ(RunCommand({PELLA_CLI_PATH, command}).exitCode, 2) << command;
        CommandResult help = RunCommand({PELLA_CLI_PATH, command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find(std::string("pella ") + command), std::string::npos);
    }
}
