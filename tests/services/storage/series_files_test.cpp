#include "services/storage/series_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "data/io/dataset_reader.h"
#include "data/io/dicom_file_check.h"
#include "services/storage/filing.h"
#include "services/storage/object_paths.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::PydicomTestFiles;
using testing_support::TempDir;

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::string CopySample(const TempDir& temp, const std::string& sample, const std::string& as) {
    fs::copy_file(PydicomTestFiles() / sample, temp.Path() / as);
    return temp.File(as);
}

// A pipe would block a reader until someone writes to it: it is neither opened nor listed.
TEST(ListDicomFiles, PipesAreNotOpened) {
    TempDir temp;
    CopySample(temp, "CT_small.dcm", "real.dcm");
    ASSERT_EQ(mkfifo(temp.File("pipe.dcm").c_str(), 0600), 0);
    std::vector<std::string> list;
    ListDicomFiles(temp.Path().string(), list);
    EXPECT_EQ(list, (std::vector<std::string>{temp.File("real.dcm")}));
    ASSERT_EQ(mkfifo(temp.File("Image.dir").c_str(), 0600), 0);
    EXPECT_TRUE(SeriesFilesToSend(temp.Path().string()).empty());
}

TEST(ListDicomFiles, KeepsPart10FilesOnlySortedByName) {
    TempDir temp;
    std::string b = CopySample(temp, "MR_small.dcm", "b.dcm");
    std::string a = CopySample(temp, "CT_small.dcm", "a");
    std::string c = CopySample(temp, "rtplan.dcm", "c.DCM");
    CopySample(temp, "no_meta.dcm", "bare.dcm");  // a data set without preamble
    WriteText(temp.Path() / "notes.txt", "not DICOM\n");
    WriteText(temp.Path() / "Image.dir.bak", "1,1,1.2.3\r\n");
    fs::create_directory(temp.Path() / "sub.dcm");
    fs::copy_file(PydicomTestFiles() / "CT_small.dcm", temp.Path() / "sub.dcm" / "inner.dcm");

    std::vector<std::string> list = {"kept"};
    ListDicomFiles(temp.Path().string(), list);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", a, b, c}));

    std::vector<std::string> withSlash;
    ListDicomFiles(temp.Path().string() + "/", withSlash);
    EXPECT_EQ(withSlash, (std::vector<std::string>{a, b, c}));

    std::vector<std::string> none;
    ListDicomFiles(temp.File("no-such-folder"), none);
    EXPECT_TRUE(none.empty());
}

TEST(SeriesFilesToSend, WithoutAnIndexTheListedPart10Files) {
    TempDir temp;
    std::string second = CopySample(temp, "CT_small.dcm", "2.dcm");
    std::string first = CopySample(temp, "MR_small.dcm", "1.dcm");
    WriteText(temp.Path() / "readme.txt", "text");
    EXPECT_EQ(SeriesFilesToSend(temp.Path().string()), (std::vector<std::string>{first, second}));
}

TEST(SeriesFilesToSend, WithAnIndexTheFilesOfItsLinesInLineOrder) {
    TempDir temp;
    std::string dir = temp.Path().string();
    CopySample(temp, "CT_small.dcm", "1.2.3.dcm");  // not in the index, not sent
    WriteText(temp.Path() / "Image.dir",
              "1,3,1.2.3.30,,,,,,1.2.840.10008.5.1.4.1.1.2,512,512,\r\n"
              "1,1,1.2.3.10,,,,,,1.2.840.10008.5.1.4.1.1.2,512,512,\r\n"
              "\r\n"
              "1,2,1.2.3.20\n");
    EXPECT_EQ(SeriesFilesToSend(dir), (std::vector<std::string>{dir + "/1.2.3.30.dcm", dir + "/1.2.3.10.dcm",
                                                                dir + "/1.2.3.20.dcm"}));
}

TEST(SeriesFilesToSend, IndexLinesNamingNoFileInTheFolderAreNotFollowed) {
    TempDir temp;
    fs::create_directory(temp.Path() / "series");
    std::string dir = (temp.Path() / "series").string();
    CopySample(temp, "CT_small.dcm", "outside.dcm");  // a real file next to the series folder
    WriteText(temp.Path() / "series" / "Image.dir",
              "1,1,1.2.3.1\r\n"
              "1,2,../outside\r\n"
              "1,3,/etc/passwd\r\n"
              "1,4,..\r\n"
              "1,5\r\n"
              "1,6,,x\r\n"
              "1,7,1.2.3.7\r\n");
    std::vector<std::string> files = SeriesFilesToSend(dir);
    EXPECT_EQ(files,
              (std::vector<std::string>{dir + "/1.2.3.1.dcm", "", "", "", "", "", dir + "/1.2.3.7.dcm"}));
    // An entry that names no file cannot be read: it counts as a failed file.
    ElementList data;
    std::string syntax;
    EXPECT_FALSE(ReadDatasetAndSyntax(files[1], data, syntax));
}

// A series filed by the storage side is found again, file by file, through its index.
TEST(SeriesFilesToSend, FindsTheFilesOfAFiledSeries) {
    TempDir temp;
    std::string database = (temp.Path() / "Database").string();
    std::vector<std::string> filed;
    for (const char* name : {"MR_small.dcm", "MR_small_implicit.dcm", "CT_small.dcm"}) {
        std::string source = (PydicomTestFiles() / name).string();
        ElementList data;
        std::string syntax;
        ASSERT_TRUE(ReadDatasetAndSyntax(source, data, syntax)) << name;
        FilingOutcome outcome = FileReceivedObject(database, database, data, [&](const std::string& file) {
            std::error_code ec;
            fs::copy_file(source, file, fs::copy_options::overwrite_existing, ec);
            return !ec;
        });
        ASSERT_TRUE(outcome.Filed()) << name;
        if (outcome.index == FilingResult::Indexed) filed.push_back(outcome.fileName);
    }
    // The MR samples are one object in two encodings: the second copy replaced the first.
    ASSERT_EQ(filed.size(), 2u);
    std::string mrSeries = fs::path(filed[0]).parent_path().string();
    EXPECT_EQ(SeriesFilesToSend(mrSeries), (std::vector<std::string>{filed[0]}));
    std::vector<std::string> ct = SeriesFilesToSend(fs::path(filed[1]).parent_path().string());
    EXPECT_EQ(ct, (std::vector<std::string>{filed[1]}));
    EXPECT_TRUE(IsPart10File(ct[0]));
}

}  // namespace
}  // namespace pella
