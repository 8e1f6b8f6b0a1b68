// pella anonymize against the real world: every pydicom sample anonymized and checked with
// pydicom and dcmdump by a checker written from the standard's table (not from Pella's) and
// stored to storescp, UIDs
// consistent across runs with one key and different with another, burned-in text refused, and
// the usage errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "data/io/dataset_reader.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/storescp_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::Capture;
using testing_support::CommandResult;
using testing_support::PydicomFile;
using testing_support::PydicomTestFiles;
using testing_support::Quote;
using testing_support::RunCommand;
using testing_support::TempDir;

namespace {

const std::string kKey = "a secret of the test";

std::string Pella() {
    return PELLA_CLI_PATH;
}

// The "INPUT -> OUTPUT" lines of a run, as a map.
std::map<std::string, std::string> Pairs(const std::string& out) {
    std::map<std::string, std::string> pairs;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t arrow = line.find(" -> ");
        if (arrow != std::string::npos) pairs[line.substr(0, arrow)] = line.substr(arrow + 4);
    }
    return pairs;
}

// A top-level UID of a file, read with pydicom.
std::string PydicomUid(const std::string& file, const std::string& keyword) {
    return RunCommand({"/usr/bin/python3", "-c",
                       "import sys, pydicom; print(pydicom.dcmread(sys.argv[1]).get(sys.argv[2], ''))", file,
                       keyword})
        .out;
}

// True when this system reads the file as a Part 10 file with a transfer syntax.
bool Readable(const std::string& file) {
    ElementList meta;
    ElementList data;
    pella::ParseState state;
    return pella::ReadPart10File(file, meta, data, state) &&
           !pella::ElementUid(meta, 0x0002, 0x0010).empty() && pella::SequencesClosed(data);
}

}  // namespace

TEST(AnonymizeCommand, EveryPydicomSamplePassesTheIndependentChecker) {
    TempDir dir;
    std::string out = dir.File("out");
    CommandResult run = RunCommand({Pella(), "anonymize", "-r", "--allow-burned-in", "--key", kKey,
                                    "--out-dir", out, PydicomTestFiles().string()},
                                   true);
    std::map<std::string, std::string> pairs = Pairs(run.out);
    // Every sample this system reads was anonymized, or named: a DICOMDIR, or a second copy of
    // an instance already written (the samples hold one instance in several syntaxes).
    std::size_t readable = 0;
    for (const fs::path& sample : testing_support::PydicomSamples()) {
        if (!Readable(sample.string())) continue;
        ++readable;
        bool named = run.out.find("'" + sample.string() + "': ") != std::string::npos;
        bool duplicate = run.out.find(sample.string() + ": '") != std::string::npos &&
                         run.out.find("is already there") != std::string::npos;
        bool dicomdir = sample.filename().string().rfind("DICOMDIR", 0) == 0;
        EXPECT_TRUE(pairs.count(sample.string()) || (named && (duplicate || dicomdir))) << sample << "\n"
                                                                                        << run.out;
    }
    ASSERT_GT(readable, 40u);
    // Nothing but the anonymized files is left in the folder.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_EQ(entry.path().extension(), ".dcm") << entry.path();
        ++files;
    }
    std::set<std::string> names;
    for (const auto& [input, output] : pairs) names.insert(output);
    EXPECT_EQ(files, names.size());

    std::string pairsFile = dir.File("pairs.txt");
    std::ofstream(pairsFile) << run.out;
    CommandResult check = Capture("/usr/bin/python3 " +
                                  Quote(std::string(PELLA_SOURCE_DIR) + "/tests/cli/anonymize_checker.py") +
                                  " " + Quote(kKey) + " " + Quote(pairsFile));
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find(std::to_string(pairs.size()) + " passed, 0 failed"), std::string::npos)
        << check.out;

    // A storage peer takes every anonymized file that names its class (a few samples have none
    // in their data set, and an anonymized copy does not invent one).
    std::size_t storable = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ElementList data;
        std::string syntax;
        if (pella::ReadDatasetAndSyntax(entry.path().string(), data, syntax))
            storable += pella::ElementUid(data, 0x0008, 0x0016).empty() ? 0 : 1;
    }
    EXPECT_GT(storable, files - 10);
    testing_support::StorescpRun storescp;
    ASSERT_TRUE(storescp.Start({"+xa"}));
    CommandResult store = RunCommand({Pella(), "store", "127.0.0.1", storescp.Port(), out}, true);
    storescp.Stop();
    std::size_t received = 0;
    for (const auto& entry : fs::recursive_directory_iterator(storescp.Out()))
        received += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(received, storable) << store.out;
}

TEST(AnonymizeCommand, AStudySplitOverTwoRunsKeepsOneStudyUnderOneKey) {
    fs::path series = PydicomTestFiles() / "dicomdirtests" / "98892003" / "MR700";
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(series)) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 4u);
    std::vector<std::string> first(files.begin(), files.begin() + 2);
    std::vector<std::string> second(files.begin() + 2, files.end());

    TempDir dir;
    auto run = [&](const std::vector<std::string>& inputs, const std::string& key,
                   const std::string& folder) {
        std::vector<std::string> argv{Pella(), "anonymize", "--key", key, "--out-dir", dir.File(folder)};
        argv.insert(argv.end(), inputs.begin(), inputs.end());
        CommandResult result = RunCommand(argv);
        EXPECT_EQ(result.exitCode, 0) << result.out;
        return Pairs(result.out);
    };
    std::map<std::string, std::string> a = run(first, kKey, "a");
    std::map<std::string, std::string> b = run(second, kKey, "b");
    std::map<std::string, std::string> other = run(first, "another key", "c");
    ASSERT_EQ(a.size(), first.size());
    ASSERT_EQ(b.size(), second.size());
    std::string study = PydicomUid(a.begin()->second, "StudyInstanceUID");
    ASSERT_EQ(study.rfind("2.25.", 0), 0u) << study;
    for (const auto& [input, output] : b) EXPECT_EQ(PydicomUid(output, "StudyInstanceUID"), study) << input;
    EXPECT_NE(PydicomUid(other.begin()->second, "StudyInstanceUID"), study);
    // The same input under the same key gives the same file name again; under another, not.
    std::map<std::string, std::string> again = run(first, kKey, "d");
    for (const auto& [input, output] : a) {
        EXPECT_EQ(fs::path(again[input]).filename(), fs::path(output).filename());
        EXPECT_NE(fs::path(other[input]).filename(), fs::path(output).filename());
    }
}

TEST(AnonymizeCommand, BurnedInTextIsRefusedAndNamedUnlessAllowed) {
    TempDir dir;
    std::string secondaryCapture = PydicomFile("SC_rgb_rle.dcm");  // no Burned In Annotation
    std::string ct = PydicomFile("CT_small.dcm");
    CommandResult refused = Capture(Pella() + " anonymize --key k --out-dir " + Quote(dir.File("out")) + " " +
                                    Quote(secondaryCapture) + " " + Quote(ct));
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    EXPECT_NE(refused.out.find("refused '" + secondaryCapture + "'"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find(ct + " -> "), std::string::npos) << refused.out;
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(dir.File("out")))
        written += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(written, 1u);
    CommandResult allowed = Capture(Pella() + " anonymize --allow-burned-in --key k --out-dir " +
                                    Quote(dir.File("out")) + " " + Quote(secondaryCapture));
    EXPECT_EQ(allowed.exitCode, 0) << allowed.out;
}

TEST(AnonymizeCommand, UsageErrorsAndTheKeyFromTheEnvironment) {
    TempDir dir;
    std::string ct = PydicomFile("CT_small.dcm");
    CommandResult noKey = Capture("env -u PELLA_ANON_KEY " + Pella() + " anonymize --out-dir " +
                                  Quote(dir.File("o")) + " " + Quote(ct));
    EXPECT_EQ(noKey.exitCode, 2);
    EXPECT_NE(noKey.out.find("PELLA_ANON_KEY"), std::string::npos) << noKey.out;
    EXPECT_FALSE(fs::exists(dir.File("o")));
    EXPECT_EQ(Capture(Pella() + " anonymize --key k " + Quote(ct)).exitCode, 2);
    EXPECT_EQ(Capture(Pella() + " anonymize --key k --retain-dates --shift-dates 3 --out-dir " +
                      Quote(dir.File("o")) + " " + Quote(ct))
                  .exitCode,
              2);
    EXPECT_EQ(Capture(Pella() + " anonymize --key k --shift-dates soon --out-dir " + Quote(dir.File("o")) +
                      " " + Quote(ct))
                  .exitCode,
              2);
    CommandResult help = Capture(Pella() + " anonymize --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--allow-burned-in"), std::string::npos);
    // The key from the environment maps as --key does.
    CommandResult fromEnv = Capture("PELLA_ANON_KEY=k " + Pella() + " anonymize --out-dir " +
                                    Quote(dir.File("e")) + " " + Quote(ct));
    CommandResult fromOption =
        Capture(Pella() + " anonymize --key k --out-dir " + Quote(dir.File("f")) + " " + Quote(ct));
    EXPECT_EQ(fromEnv.exitCode, 0) << fromEnv.out;
    EXPECT_EQ(fs::path(Pairs(fromEnv.out)[ct]).filename(), fs::path(Pairs(fromOption.out)[ct]).filename());
    // A file that is no DICOM file is named with a reason, and nothing is left for it.
    std::string junk = dir.Write("junk.dcm", {'n', 'o', 't', ' ', 'D', 'I', 'C', 'M'});
    CommandResult bad =
        Capture(Pella() + " anonymize --key k --out-dir " + Quote(dir.File("j")) + " " + Quote(junk));
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("junk.dcm"), std::string::npos) << bad.out;
    EXPECT_TRUE(fs::is_empty(dir.File("j")));
}
