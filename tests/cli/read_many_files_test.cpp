// pella dump, header and elements over several files and folders: order, header lines,
// failures on stderr, recursion, parallel reading, JSON Lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using testing_support::CommandResult;
using testing_support::PydicomFile;
using testing_support::Quote;
using testing_support::RunShell;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

struct PellaRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs pella with the arguments, standard output and error apart.
PellaRun Pella(const std::vector<std::string>& args, const TempDir& scratch) {
    std::string line = Quote(PELLA_CLI_PATH);
    for (const std::string& a : args) line += " " + Quote(a);
    std::string errFile = scratch.File("stderr.txt");
    CommandResult r = RunShell(line + " 2>" + Quote(errFile));
    std::ifstream in(errFile);
    std::stringstream err;
    err << in.rdbuf();
    return {r.exitCode, r.out, err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> FileLines(const std::string& out) {
    std::vector<std::string> names;
    for (const std::string& line : Lines(out))
        if (line.rfind("# /", 0) == 0) names.push_back(line.substr(2));
    return names;
}

// A folder of samples: three readable files, one text file, and a subfolder with one more.
struct SampleFolder {
    TempDir dir;
    TempDir scratch;
    std::string root = dir.File("series");
    SampleFolder() {
        fs::create_directories(root + "/sub");
        fs::copy_file(PydicomFile("CT_small.dcm"), root + "/a.dcm");
        fs::copy_file(PydicomFile("MR_small_implicit.dcm"), root + "/b.dcm");
        fs::copy_file(PydicomFile("rtplan.dcm"), root + "/c.dcm");
        std::ofstream(root + "/notes.txt") << "not DICOM\n";
        fs::copy_file(PydicomFile("MR_small_bigendian.dcm"), root + "/sub/d.dcm");
    }
};

}  // namespace

TEST(ReadManyFiles, AFolderIsDumpedInNameOrderAndAnUnreadableFileIsNamedOnStderr) {
    SampleFolder f;
    PellaRun r = Pella({"dump", f.root}, f.scratch);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(FileLines(r.out),
              (std::vector<std::string>{f.root + "/a.dcm", f.root + "/b.dcm", f.root + "/c.dcm"}));
    EXPECT_EQ(r.err, "pella dump: cannot read '" + f.root +
                         "/notes.txt': no preamble and \"DICM\": not a DICOM Part 10 file\n");
    // Each file's part is exactly what dumping it alone prints.
    PellaRun alone = Pella({"dump", f.root + "/b.dcm"}, f.scratch);
    EXPECT_EQ(alone.exitCode, 0);
    EXPECT_NE(r.out.find("# " + f.root + "/b.dcm\n" + alone.out + "# " + f.root + "/c.dcm\n"),
              std::string::npos);
}

TEST(ReadManyFiles, RecursionTakesSubfoldersAndMissingNamesFail) {
    SampleFolder f;
    PellaRun r = Pella({"header", "-r", f.root, f.root + "/missing.dcm"}, f.scratch);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(FileLines(r.out).size(), 4u);
    EXPECT_EQ(FileLines(r.out).back(), f.root + "/sub/d.dcm");
    EXPECT_NE(r.err.find("cannot read '" + f.root + "/missing.dcm': no such file or folder"),
              std::string::npos);
    EXPECT_NE(r.err.find("notes.txt"), std::string::npos);
}

TEST(ReadManyFiles, ParallelReadingPrintsTheSameAsOneThread) {
    SampleFolder f;
    // Many files, so that workers finish out of order: the samples named several times.
    std::vector<std::string> args = {"dump", "--jobs", "1"};
    for (int i = 0; i < 8; ++i)
        for (const char* name : {"a.dcm", "c.dcm", "notes.txt", "b.dcm"}) args.push_back(f.root + "/" + name);
    PellaRun one = Pella(args, f.scratch);
    for (const char* jobs : {"2", "7"}) {
        args[2] = jobs;
        PellaRun many = Pella(args, f.scratch);
        EXPECT_EQ(many.exitCode, 1);
        EXPECT_EQ(many.out, one.out) << "--jobs " << jobs;
        EXPECT_EQ(many.err, one.err) << "--jobs " << jobs;
    }
    EXPECT_EQ(FileLines(one.out).size(), 24u);
    EXPECT_EQ(Lines(one.err).size(), 8u);
}

TEST(ReadManyFiles, JsonGivesOneDocumentPerReadableFileInOrder) {
    SampleFolder f;
    PellaRun r = Pella({"dump", "--json", "-r", f.root, "--jobs", "3"}, f.scratch);
    EXPECT_EQ(r.exitCode, 1);
    std::vector<std::string> lines;
    std::vector<std::string> named;  // each document follows a line naming its file
    for (const std::string& line : Lines(r.out)) {
        nlohmann::json value = nlohmann::json::parse(line);
        if (value.is_string())
            named.push_back(value.get<std::string>());
        else
            lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(named, (std::vector<std::string>{f.root + "/a.dcm", f.root + "/b.dcm", f.root + "/c.dcm",
                                               f.root + "/sub/d.dcm"}));
    // The SOP Instance UIDs as pydicom reads them, in the same order.
    std::string files;
    for (const char* name : {"a.dcm", "b.dcm", "c.dcm", "sub/d.dcm"})
        files += " " + Quote(f.root + "/" + name);
    std::vector<std::string> uids =
        Lines(RunShell("/usr/bin/python3 -c 'import sys, pydicom\nfor p in sys.argv[1:]: "
                       "print(pydicom.dcmread(p).SOPInstanceUID)'" +
                       files)
                  .out);
    ASSERT_EQ(uids.size(), 4u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        nlohmann::json doc = nlohmann::json::parse(lines[i]);
        EXPECT_EQ(doc["00080018"]["Value"][0], uids[i]) << i;
        EXPECT_FALSE(doc.contains("00020010")) << "file meta elements are not part of the data set";
    }
    EXPECT_NE(r.err.find("notes.txt"), std::string::npos);
}

TEST(ReadManyFiles, ElementsTakesSeveralFilesWithOptionsAnywhere) {
    SampleFolder f;
    PellaRun r = Pella({"elements", f.root + "/a.dcm", "--max-preview", "8", f.root + "/b.dcm"}, f.scratch);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileLines(r.out).size(), 2u);
    PellaRun single = Pella({"elements", f.root + "/a.dcm"}, f.scratch);
    EXPECT_TRUE(FileLines(single.out).empty()) << "one file: no header line";
}

TEST(ReadManyFiles, BadOptionValuesAreRefusedWithExitTwo) {
    SampleFolder f;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dump", "--jobs", "0", f.root},
          std::vector<std::string>{"dump", "--jobs", "x", f.root},
          std::vector<std::string>{"dump", "--bulk", f.root},
          std::vector<std::string>{"dump", "--json", "--inline-limit", "-5", f.root},
          std::vector<std::string>{"header"}}) {
        PellaRun r = Pella(args, f.scratch);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        EXPECT_TRUE(r.out.empty());
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(ReadManyFiles, ThePydicomSampleTreeIsDumpedOrNamedFileByFile) {
    TempDir scratch;
    std::string root = testing_support::PydicomTestFiles().string();
    PellaRun r = Pella({"dump", "-r", root}, scratch);
    EXPECT_EQ(r.exitCode, 1) << "the tree holds text files and cut-short samples";
    std::vector<std::string> dumped = FileLines(r.out);
    std::vector<std::string> named;
    for (const std::string& line : Lines(r.err)) {
        if (line.find("read as a bare data set") != std::string::npos) continue;  // dumped, with a note
        std::size_t open = line.find("cannot read '");
        std::size_t close = line.find("': ");
        ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << line;
        named.push_back(line.substr(open + 13, close - open - 13));
        EXPECT_GT(line.size(), close + 3) << "a reason follows the name: " << line;
    }
    std::vector<std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) all.push_back(entry.path().string());
    std::sort(all.begin(), all.end());
    std::vector<std::string> seen = dumped;
    seen.insert(seen.end(), named.begin(), named.end());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, all) << "every file either dumped or named, once";
    EXPECT_GT(dumped.size(), 140u);
    EXPECT_TRUE(std::is_sorted(dumped.begin(), dumped.end()));
}
