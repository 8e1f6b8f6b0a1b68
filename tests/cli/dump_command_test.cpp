// pella dump and pella header on real files written by other systems.
#include <gtest/gtest.h>

#include <cctype>
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
        if (line.size() > 12 && line[0] == '(' && line[5] == ',' && line[10] == ')') {
            std::string tag = line.substr(1, 4) + line.substr(6, 4);
            for (char& c : tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            lines.emplace(tag, line);
        }
    return lines;
}

// Top-level lines of a memo-format dump (pella header), keyed by the tag "GGGGEEEE".
std::map<std::string, std::string> MemoTopLevelLines(const std::string& dump) {
    std::map<std::string, std::string> lines;
    for (const std::string& line : Lines(dump))
        if (line.size() > 12 && line[0] == '(' && line.compare(5, 2, ", ") == 0)
            lines.emplace(line.substr(1, 4) + line.substr(7, 4), line);
    return lines;
}

// The keyword at the end of a dump line ("... #  18, 1 PatientName").
std::string KeywordOfLine(const std::string& line) {
    std::size_t hash = line.rfind('#');
    std::size_t space = line.find(' ', line.find(',', hash) + 2);
    return space == std::string::npos ? "" : line.substr(space + 1);
}

// The elements of a dcmdump-layout text as "depth tag" lines (delimiters left out, since how a
// dump marks a sequence's end is no element of the file).
std::vector<std::string> Structure(const std::string& dump) {
    std::vector<std::string> out;
    for (const std::string& line : Lines(dump)) {
        std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || line[indent] != '(' || line.size() < indent + 11) continue;
        std::string tag = line.substr(indent, 11);
        for (char& c : tag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tag == "(fffe,e00d)" || tag == "(fffe,e0dd)") continue;
        out.push_back(std::to_string(indent / 2) + " " + tag);
    }
    return out;
}

// Prints "path<TAB>GGGGEEEE<TAB>keyword<TAB>value" for the top-level elements, meta group
// included, with the value only for single US values.
const char* kPydicomNames = R"(
import sys, pydicom
for path in sys.argv[1:]:
    ds = pydicom.dcmread(path)
    for e in list(ds.file_meta) + list(ds):
        value = str(e.value) if e.VR == 'US' and e.VM == 1 else ''
        print('%s\t%08X\t%s\t%s' % (path, e.tag, e.keyword, value))
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
        if (!fields[2].empty()) {
            EXPECT_EQ(KeywordOfLine(line->second), fields[2]) << file << ": " << line->second;
            ++compared;
        }
        // Numbers in either byte order, shown as values.
        if (fields.size() == 4 && !fields[3].empty()) {
            EXPECT_NE(line->second.find(" US " + fields[3] + " "), std::string::npos)
                << file << ": " << line->second << " vs " << fields[3];
            ++numbers;
        }
    }
    EXPECT_GT(compared, 300);
    EXPECT_GT(numbers, 20);
}

// The same elements in the same nesting as dcmdump, however the sequences are encoded (defined
// length in rtplan, undefined in test-SR, both and a pixel sequence in JPEG2000), for a file
// without preamble too (rtstruct); texts, numbers and tags as values.
TEST(DumpCommand, ShowsEveryElementDcmdumpShowsInTheSameNesting) {
    for (const char* name : {"rtplan.dcm", "test-SR.dcm", "JPEG2000.dcm", "CT_small.dcm", "rtstruct.dcm",
                             "MR_small_bigendian.dcm", "waveform_ecg.dcm"}) {
        SCOPED_TRACE(name);
        CommandResult ours = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile(name)}, true);
        ASSERT_EQ(ours.exitCode, 0) << ours.out.substr(0, 2000);
        CommandResult reference = RunCommand({"dcmdump", "-q", PydicomFile(name)});
        ASSERT_EQ(reference.exitCode, 0);
        std::vector<std::string> expected = Structure(reference.out), shown = Structure(ours.out);
        EXPECT_GT(expected.size(), 20u);
        EXPECT_EQ(shown, expected);
        bool bare = std::string(name) == "rtstruct.dcm";
        EXPECT_EQ(ours.out.find("read as a bare data set") != std::string::npos, bare)
            << ours.out.substr(0, 300);
    }
    CommandResult ct = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("CT_small.dcm")});
    auto top = TopLevelLines(ct.out);
    EXPECT_EQ(top["00100010"].substr(0, 40), "(0010,0010) PN [CompressedSamples^CT1]  ");
    EXPECT_NE(top["00280010"].find(" US 128 "), std::string::npos) << top["00280010"];
    EXPECT_NE(top["00200032"].find("[-158.135803\\-179.035797\\-75.699997]"), std::string::npos)
        << top["00200032"];
    CommandResult j2k = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("JPEG2000.dcm")});
    EXPECT_NE(j2k.out.find("(0008,2112) SQ (Sequence with undefined length #=1)"), std::string::npos);
    CommandResult plan = RunCommand({PELLA_CLI_PATH, "dump", PydicomFile("rtplan.dcm")});
    EXPECT_NE(plan.out.find("  (fffe,e000) na (Item with explicit length #=7)"), std::string::npos);
    EXPECT_NE(plan.out.find("    (300a,0012) IS [1] "), std::string::npos);
    // Texts decoded by their character set.
    std::string french = (PydicomTestFiles().parent_path() / "charset_files" / "chrFren.dcm").string();
    CommandResult latin = RunCommand({PELLA_CLI_PATH, "dump", french});
    EXPECT_NE(latin.out.find("[Buc^J\xC3\xA9r\xC3\xB4me]"), std::string::npos) << latin.out;
}

TEST(HeaderCommand, StopsBeforeThePixelData) {
    CommandResult r = RunCommand({PELLA_CLI_PATH, "header", PydicomFile("CT_small.dcm")});
    ASSERT_EQ(r.exitCode, 0);
    auto top = MemoTopLevelLines(r.out);
    EXPECT_EQ(top["00020010"], "(0002, 0010), 20, UI  \"1.2.840.10008.1.2.1\" - Transfer Syntax UID");
    EXPECT_EQ(top.count("7FE00010"), 0u);
    EXPECT_EQ(top["00280010"], "(0028, 0010), 2, US  \"128\" - Rows");

    CommandResult implicitFile = RunCommand({PELLA_CLI_PATH, "header", PydicomFile("rtplan.dcm")});
    ASSERT_EQ(implicitFile.exitCode, 0);
    EXPECT_EQ(MemoTopLevelLines(implicitFile.out)["00100010"],
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
