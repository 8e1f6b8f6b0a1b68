#include "services/storage/filing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "data/io/dataset_reader.h"
#include "data/io/staged_file.h"
#include "services/storage/filing_journal.h"
#include "services/storage/index_lines.h"
#include "services/storage/object_paths.h"
#include "services/storage/series_files.h"
#include "services/storage/short_date_format.h"
#include "support/data_set_builder.h"
#include "support/incoming_files.h"
#include "support/log_file.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::AddText;
using testing_support::AddUS;
using testing_support::ReadText;
using testing_support::StagedObjects;
using testing_support::TempDir;

// An object of a CT series with every indexed attribute but Manufacturer.
ElementList MakeObject(const std::string& study, const std::string& series, const std::string& sop,
                       const std::string& instanceNumber = "17") {
    ElementList data;
    AddText(data, 0x0008, 0x0008, "CS", "ORIGINAL\\PRIMARY\\AXIAL");
    AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2");
    AddText(data, 0x0008, 0x0018, "UI", sop);
    AddText(data, 0x0008, 0x0020, "DA", "20240305");
    AddText(data, 0x0008, 0x0021, "DA", "20240306");
    AddText(data, 0x0008, 0x0023, "DA", "20240307");
    AddText(data, 0x0008, 0x0030, "TM", "101500");
    AddText(data, 0x0008, 0x0031, "TM", "101600");
    AddText(data, 0x0008, 0x0033, "TM", "101700");
    AddText(data, 0x0008, 0x0050, "SH", "ACC7");
    AddText(data, 0x0008, 0x0061, "CS", "CT");
    AddText(data, 0x0008, 0x0090, "PN", "Doe^Referrer");
    AddText(data, 0x0008, 0x1030, "LO", "Chest");
    AddText(data, 0x0008, 0x103E, "LO", "Axial 5mm");
    AddText(data, 0x0010, 0x0010, "PN", "Smith,John");
    AddText(data, 0x0010, 0x0020, "LO", "PID42");
    AddText(data, 0x0010, 0x0030, "DA", "19700101");
    AddText(data, 0x0018, 0x0015, "CS", "CHEST");
    AddText(data, 0x0018, 0x0086, "IS", "1");
    AddText(data, 0x0018, 0x5100, "CS", "HFS");
    AddText(data, 0x0020, 0x000D, "UI", study);
    AddText(data, 0x0020, 0x000E, "UI", series);
    AddText(data, 0x0020, 0x0011, "IS", "3");
    AddText(data, 0x0020, 0x0012, "IS", "1");
    AddText(data, 0x0020, 0x0013, "IS", instanceNumber);
    AddText(data, 0x0020, 0x0052, "UI", "1.2.3.99");
    AddText(data, 0x0020, 0x1041, "DS", "-12.5");
    AddText(data, 0x0028, 0x0008, "IS", "1");
    AddUS(data, 0x0028, 0x0010, 512);
    AddUS(data, 0x0028, 0x0011, 256);
    return data;
}

std::size_t CountLines(const fs::path& file) {
    std::string text = ReadText(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Every path below the folder, for checks that nothing was written anywhere.
std::vector<fs::path> Tree(const fs::path& folder) {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) paths.push_back(entry.path());
    return paths;
}

bool WriteMarkerFile(const std::string& fileName) {
    std::ofstream out(fileName, std::ios::binary);
    out << "object";
    return static_cast<bool>(out);
}

// A writer that takes a moment before the file appears, as writing a large object does.
bool SlowWriter(const std::string& fileName) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return WriteMarkerFile(fileName);
}

class FilingTest : public ::testing::Test {
protected:
    void SetUp() override { SetShortDateFormat("dd.mm.yyyy"); }
    void TearDown() override { SetShortDateFormat(savedFormat); }

    // Files the object with files and index in one tree, as pella serve keeps them.
    FilingResult Index(const ElementList& data) {
        return FileReceivedObject(root(), root(), data, WriteMarkerFile).index;
    }
    std::string root() const { return (temp.Path() / "Database").string(); }
    fs::path StudyIndex() const { return temp.Path() / "Database" / "KPStudy.dir"; }
    fs::path SeriesIndex(const std::string& study) const {
        return temp.Path() / "Database" / study / "Series.dir";
    }
    fs::path ImageIndex(const std::string& study, const std::string& series) const {
        return temp.Path() / "Database" / study / series / "Image.dir";
    }

    TempDir temp;
    std::string savedFormat = ShortDateFormat();
};

TEST_F(FilingTest, FirstObjectOfANewStudyWritesOneLineToEachIndex) {
    ElementList data = MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5");
    ASSERT_EQ(Index(data), FilingResult::Indexed);

    EXPECT_EQ(ReadText(StudyIndex()),
              "1.2.3,20240305,101500,PID42,19700101,Smith^John,Doe^Referrer,ACC7,CT,Chest,\xA7" +
                  TodayAsShortDate() + "\r\n");
    EXPECT_EQ(ReadText(SeriesIndex("1.2.3")),
              "3,1.2.3.4,1,20240306,101600,Axial 5mm,HFS,CHEST,,1.2.3.99\r\n");
    EXPECT_EQ(ReadText(ImageIndex("1.2.3", "1.2.3.4")),
              "1,17,1.2.3.4.5,20240307,101700,1,1,-12.5,1.2.840.10008.5.1.4.1.1.2,512,256,"
              "ORIGINAL\\PRIMARY\\AXIAL\r\n");
}

// Received texts with line breaks inside must not forge further index lines.
TEST_F(FilingTest, LineBreaksInsideValuesStayInsideTheirLine) {
    ElementList data;
    AddText(data, 0x0008, 0x0018, "UI", "1.2.3.4.5");
    AddText(data, 0x0008, 0x1030, "LO", "Chest\r\n9.9.9,20000101,,FORGED");
    AddText(data, 0x0008, 0x103E, "LO", "Axial\n8.8.8");
    AddText(data, 0x0008, 0x0008, "CS", "ORIGINAL\r7.7.7");
    AddText(data, 0x0020, 0x000D, "UI", "1.2.3");
    AddText(data, 0x0020, 0x000E, "UI", "1.2.3.4");
    ASSERT_EQ(Index(data), FilingResult::Indexed);
    std::string study = ReadText(StudyIndex());
    EXPECT_EQ(CountLines(StudyIndex()), 1u) << study;
    EXPECT_NE(study.find(",Chest%0D%0A9.9.9%2C20000101%2C%2CFORGED,"), std::string::npos) << study;
    EXPECT_EQ(IndexLineField(study, 10), "Chest\r\n9.9.9,20000101,,FORGED");
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), 1u);
    EXPECT_NE(ReadText(SeriesIndex("1.2.3")).find("Axial%0A8.8.8"), std::string::npos);
    std::string image = ReadText(ImageIndex("1.2.3", "1.2.3.4"));
    EXPECT_EQ(image.find('\r'), image.size() - 2) << "only the line end holds a CR";
}

TEST_F(FilingTest, LaterObjectsAddOnlyTheLinesOfWhatIsNew) {
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
    // Second object of the same series: Image.dir only.
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.6")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(StudyIndex()), 1u);
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), 1u);
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 2u);
    // First object of a second series: Series.dir and the new series' Image.dir.
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.7", "1.2.3.7.1")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(StudyIndex()), 1u);
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), 2u);
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 2u);
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.7")), 1u);
    EXPECT_EQ(GetDelimitedField(ReadText(SeriesIndex("1.2.3")), 11, ','), "1.2.3.7");
    // A second study: its own line in KPStudy.dir.
    ASSERT_EQ(Index(MakeObject("1.2.8", "1.2.8.1", "1.2.8.1.1")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(StudyIndex()), 2u);
}

TEST_F(FilingTest, FieldTextsFollowTheAttributes) {
    ElementList data = MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5");
    FindElement(data, 0x0008, 0x1030)->value[0] = ',';  // Study Description ",hest"
    ASSERT_EQ(Index(data), FilingResult::Indexed);
    std::string study = ReadText(StudyIndex());
    // Patient's Name keeps its field; the comma of the description is escaped in its field.
    EXPECT_EQ(GetDelimitedField(study, 6, ','), "Smith^John");
    EXPECT_EQ(GetDelimitedField(study, 10, ','), "%2Chest");
    EXPECT_EQ(IndexLineField(study, 10), ",hest");
    EXPECT_EQ(GetDelimitedField(study, 11, ',')[0], '\xA7');
    // No Manufacturer: the ninth series field is empty, two commas in a row.
    std::string series = ReadText(SeriesIndex("1.2.3"));
    EXPECT_NE(series.find("CHEST,,1.2.3.99"), std::string::npos) << series;
    EXPECT_EQ(GetDelimitedField(series, 9, ','), "");
    // Rows 512 as text.
    std::string image = ReadText(ImageIndex("1.2.3", "1.2.3.4"));
    EXPECT_EQ(GetDelimitedField(image, 10, ','), "512");
    EXPECT_EQ(GetDelimitedField(image, 11, ','), "256");
}

TEST_F(FilingTest, StudyLineEndsWithMarkAndFilingDateInTheProcessFormat) {
    SetShortDateFormat("yyyymmdd");
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
    std::string line = ReadText(StudyIndex());
    std::string tail = std::string(",\xA7") + TodayAsShortDate() + "\r\n";
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_EQ(TodayAsShortDate().size(), 8u);
}

TEST_F(FilingTest, AnObjectReceivedAgainReplacesItsImageLine) {
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.6")), FilingResult::Indexed);
    std::string before = ReadText(StudyIndex()) + ReadText(SeriesIndex("1.2.3"));
    EXPECT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5", "18")), FilingResult::AlreadyReceived);
    EXPECT_TRUE(FilingSucceeded(FilingResult::AlreadyReceived));
    EXPECT_EQ(ReadText(StudyIndex()) + ReadText(SeriesIndex("1.2.3")), before);
    std::vector<std::string> lines = ReadIndexLines(ImageIndex("1.2.3", "1.2.3.4").string());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ImageLineSopInstance(lines[0]), "1.2.3.4.6");
    EXPECT_EQ(ImageLineSopInstance(lines[1]), "1.2.3.4.5");
    EXPECT_EQ(GetDelimitedField(lines[1], 2, ','), "18");
    // Nothing is left beside the index.
    for (const auto& entry : fs::directory_iterator(temp.Path() / "Database" / "1.2.3" / "1.2.3.4"))
        EXPECT_EQ(entry.path().extension() == ".dcm" || entry.path().filename() == "Image.dir", true)
            << entry.path();
}

// A process killed between making a folder or file and writing its index line: the next start
// removes what has no line and keeps what has one.
TEST_F(FilingTest, AnInterruptedFilingIsUndoneAtTheNextStart) {
    std::string store = root();
    ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
    const fs::path series = temp.Path() / "Database" / "1.2.3" / "1.2.3.4";
    const fs::path held = series / "1.2.3.4.8.dcm";
    struct Case {
        IndexKind kind;
        fs::path path;
        fs::path index;
        std::string key;
        bool folder;
        bool kept;
    } cases[] = {
        {IndexKind::Image, series / "1.2.3.4.9.dcm", ImageIndex("1.2.3", "1.2.3.4"), "1.2.3.4.9", false,
         false},
        {IndexKind::Image, series / "1.2.3.4.5.dcm", ImageIndex("1.2.3", "1.2.3.4"), "1.2.3.4.5", false,
         true},
        {IndexKind::Series, series.parent_path() / "1.2.3.7", SeriesIndex("1.2.3"), "1.2.3.7", true, false},
        {IndexKind::Study, temp.Path() / "Database" / "1.2.8", StudyIndex(), "1.2.8", true, false},
        {IndexKind::Study, temp.Path() / "Database" / "1.2.3", StudyIndex(), "1.2.3", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {  // makes the path after recording it, then dies before the line
            FilingJournal journal(IncomingFolder(store));
            // A longer entry before, completed: the new one is written over its remains.
            const std::string longer = (temp.Path() / std::string(200, 'x')).string();
            bool ok = journal.Begin(IndexKind::Study, longer, longer, std::string(100, '9'));
            journal.End();
            // An object held for a shared commit whose line never came: removed with the step.
            ok = journal.Begin(IndexKind::Image, held.string(), ImageIndex("1.2.3", "1.2.3.4").string(),
                               "1.2.3.4.8") &&
                 ok;
            std::ofstream(held) << "object";
            journal.Hold();
            ok = journal.Begin(c.kind, c.path.string(), c.index.string(), c.key) && ok;
            if (c.folder)
                fs::create_directories(c.path);
            else if (!fs::exists(c.path))
                std::ofstream(c.path) << "object";
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_EQ(WEXITSTATUS(status), 0);
        ASSERT_TRUE(fs::exists(c.path));
        std::string reason;
        ASSERT_TRUE(PrepareStorageFolder(store, reason)) << reason;
        EXPECT_EQ(fs::exists(c.path), c.kept);
        EXPECT_FALSE(fs::exists(held));
        EXPECT_EQ(Tree(IncomingFolder(store)).size(), 1u) << "only this process's own journal stays";
    }
    // The object whose line stayed is still filed; a new copy of the removed one is indexed.
    EXPECT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.9")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 2u);
}

TEST_F(FilingTest, AnIndexThatCannotBeWrittenFailsAndIsRetriedByTheNextObject) {
    fs::create_directories(StudyIndex());  // a folder where the study index should be
    EXPECT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::IndexNotWritten);
    EXPECT_FALSE(FilingSucceeded(FilingResult::IndexNotWritten));
    // The study folder was taken back, so that the study does not stay without its line.
    EXPECT_FALSE(fs::exists(temp.Path() / "Database" / "1.2.3"));
    fs::remove(StudyIndex());
    EXPECT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.6")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(StudyIndex()), 1u);
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), 1u);
    EXPECT_EQ(GetDelimitedField(ReadText(ImageIndex("1.2.3", "1.2.3.4")), 3, ','), "1.2.3.4.6");
}

TEST_F(FilingTest, HostileUidsAreRefusedAndNothingIsWrittenAnywhere) {
    std::string absolute = (temp.Path() / "abs").string();
    const std::string hostile[] = {"../x",
                                   "../../x",
                                   "..",
                                   "1..2",
                                   "",
                                   "1.2/3",
                                   absolute,
                                   "/tmp/pella-hostile-uid",
                                   std::string(65, '1'),
                                   "1.2.",
                                   ".1"};
    std::string store = (temp.Path() / "store").string();
    for (const std::string& bad : hostile) {
        const ElementList objects[] = {MakeObject(bad, "1.2.3.4", "1.2.3.4.5"),
                                       MakeObject("1.2.3", bad, "1.2.3.4.5"),
                                       MakeObject("1.2.3", "1.2.3.4", bad)};
        for (const ElementList& data : objects) {
            bool writerCalled = false;
            FilingOutcome outcome = FileReceivedObject(store, root(), data, [&](const std::string& name) {
                writerCalled = true;
                return WriteMarkerFile(name);
            });
            EXPECT_EQ(outcome.index, FilingResult::Refused) << bad;
            EXPECT_FALSE(outcome.Filed());
            EXPECT_TRUE(outcome.fileName.empty());
            EXPECT_FALSE(writerCalled) << bad;
        }
    }
    EXPECT_TRUE(Tree(temp.Path()).empty());
    EXPECT_FALSE(fs::exists("/tmp/pella-hostile-uid"));
}

TEST_F(FilingTest, MissingUidsOrAnEmptyRootAreRefused) {
    ElementList noStudy = MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5");
    FindElement(noStudy, 0x0020, 0x000D)->length = 0;
    EXPECT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
    EXPECT_EQ(Index(noStudy), FilingResult::Refused);
    FilingOutcome outcome = FileReceivedObject((temp.Path() / "s").string(), "",
                                               MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.9"), WriteMarkerFile);
    EXPECT_EQ(outcome.index, FilingResult::Refused);
    EXPECT_FALSE(fs::exists(temp.Path() / "s"));
}

TEST_F(FilingTest, FileReceivedObjectIndexesCreatesTheFolderAndWrites) {
    std::string store = (temp.Path() / "store").string();
    FilingOutcome outcome =
        FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5"), WriteMarkerFile);
    EXPECT_EQ(outcome.index, FilingResult::Indexed);
    EXPECT_TRUE(outcome.Filed());
    EXPECT_EQ(outcome.fileName, store + "/1.2.3/1.2.3.4/1.2.3.4.5.dcm");
    EXPECT_EQ(ReadText(outcome.fileName), "object");
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 1u);
    // The same object again: the file is replaced, still one image line.
    outcome = FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5"),
                                 [](const std::string& name) {
                                     std::ofstream out(name, std::ios::binary | std::ios::trunc);
                                     out << "again";
                                     return static_cast<bool>(out);
                                 });
    EXPECT_EQ(outcome.index, FilingResult::AlreadyReceived);
    EXPECT_EQ(ReadText(outcome.fileName), "again");
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 1u);
    EXPECT_TRUE(StagedObjects(IncomingFolder(store)).empty());
}

// With every object flushed to the device before it counts as filed, the same files and lines
// are written: a new study, a new series in it, a copy received again.
TEST_F(FilingTest, FlushedFilingWritesTheSameFilesAndLines) {
    std::string store = (temp.Path() / "store").string();
    const FilingOptions flushed{true};
    const char* sops[] = {"1.2.3.4.5", "1.2.3.4.6", "1.2.3.4.5"};
    const FilingResult expected[] = {FilingResult::Indexed, FilingResult::Indexed,
                                     FilingResult::AlreadyReceived};
    for (std::size_t i = 0; i < std::size(sops); ++i) {
        FilingOutcome outcome = FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", sops[i]),
                                                   WriteMarkerFile, flushed);
        EXPECT_EQ(outcome.index, expected[i]) << sops[i];
        EXPECT_EQ(ReadText(outcome.fileName), "object");
    }
    FilingOutcome outcome = FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.7", "1.2.3.7.1"),
                                               WriteMarkerFile, flushed);
    EXPECT_EQ(outcome.index, FilingResult::Indexed);
    EXPECT_EQ(CountLines(StudyIndex()), 1u);
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), 2u);
    EXPECT_EQ(CountLines(ImageIndex("1.2.3", "1.2.3.4")), 2u);
    EXPECT_TRUE(StagedObjects(IncomingFolder(store)).empty());
}

// Filing remembers the folders it made and keeps index files open; whatever is removed or
// replaced between two objects of a series, the second is on disk and listed exactly once in the
// index that carries the name, and a new folder gets its line again.
TEST_F(FilingTest, WhatIsRemovedOrReplacedBetweenTwoObjectsIsSeenAgain) {
    const fs::path database = temp.Path() / "Database";
    const fs::path study = database / "1.2.3", series = study / "1.2.3.4";
    struct Case {
        const char* what;
        std::function<void()> meanwhile;
        std::size_t studyLines, seriesLines, imageLines;  // afterwards
    } cases[] = {
        {"nothing", [] {}, 1, 1, 2},
        {"the whole database", [&] { fs::remove_all(database); }, 1, 1, 1},
        {"the study folder", [&] { fs::remove_all(study); }, 2, 1, 1},
        {"the series folder", [&] { fs::remove_all(series); }, 1, 2, 1},
        {"the image index", [&] { fs::remove(series / "Image.dir"); }, 1, 1, 1},
        {"the image index, rewritten by another program",
         [&] {
             std::string text = ReadText(series / "Image.dir");
             std::ofstream(series / "Image.dir.new", std::ios::binary) << text;
             fs::rename(series / "Image.dir.new", series / "Image.dir");
         },
         1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(database);
        ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.5")), FilingResult::Indexed);
        c.meanwhile();
        ASSERT_EQ(Index(MakeObject("1.2.3", "1.2.3.4", "1.2.3.4.6")), FilingResult::Indexed);
        EXPECT_EQ(ReadText(series / "1.2.3.4.6.dcm"), "object");
        auto count = [](const fs::path& index) { return fs::exists(index) ? CountLines(index) : 0; };
        EXPECT_EQ(count(database / "KPStudy.dir"), c.studyLines);
        EXPECT_EQ(count(study / "Series.dir"), c.seriesLines);
        EXPECT_EQ(count(series / "Image.dir"), c.imageLines);
        const std::string images = ReadText(series / "Image.dir");
        EXPECT_EQ(images.find("1.2.3.4.6"), images.rfind("1.2.3.4.6")) << images;
        EXPECT_NE(images.find("1.2.3.4.6"), std::string::npos) << images;
        EXPECT_TRUE(StagedObjects(IncomingFolder(root())).empty());
    }
    // The database moved away and made again, then a new study: its line goes to the new index.
    fs::rename(database, temp.Path() / "moved");
    fs::create_directories(database);
    ASSERT_EQ(Index(MakeObject("1.2.8", "1.2.8.1", "1.2.8.1.1")), FilingResult::Indexed);
    EXPECT_EQ(CountLines(database / "KPStudy.dir"), 1u);
    EXPECT_EQ(GetDelimitedField(ReadText(database / "KPStudy.dir"), 1, ','), "1.2.8");
    EXPECT_EQ(CountLines(database / "1.2.8" / "Series.dir"), 1u);
    EXPECT_EQ(CountLines(database / "1.2.8" / "1.2.8.1" / "Image.dir"), 1u);
    EXPECT_EQ(CountLines(temp.Path() / "moved" / "KPStudy.dir"), 1u);
}

// Whatever fails while an object is filed, nothing is left half done: no temporary file, no
// index line without its file, no file without its line, and an earlier good copy untouched.
TEST_F(FilingTest, AFailureLeavesNoTraceAndKeepsAnEarlierCopy) {
    const std::string sop = "1.2.3.4.5";
    const fs::path database = temp.Path() / "Database";
    const fs::path separate = temp.Path() / "store";
    struct Case {
        const char* what;
        bool separateStore;  // files below a storage folder of their own, not in the database tree
        bool earlierCopy;    // a good copy of the object is on disk already
        std::function<bool(const std::string&)> writer;
        std::function<void()> breakFiling;  // makes a folder, index file or the final name unusable
        FilingResult expected;
        bool throws = false;  // the writer's exception goes to the caller
    };
    auto halfWriter = [](const std::string& name) {
        std::ofstream(name, std::ios::binary) << "half";
        return false;  // a full disk in the middle of the object
    };
    auto throwingWriter = [](const std::string& name) -> bool {
        std::ofstream(name, std::ios::binary) << "half";
        throw std::bad_alloc();
    };
    auto folderAt = [](fs::path path) { return [path] { fs::create_directories(path); }; };
    auto fileAt = [](fs::path path) {
        return [path] {
            fs::create_directories(path.parent_path());
            std::ofstream(path) << "x";
        };
    };
    auto loopAt = [](fs::path path) {  // a link to itself: the folder can be neither read nor made
        return [path] {
            fs::create_directories(path.parent_path());
            fs::create_symlink(path.filename(), path);
        };
    };
    const fs::path study = database / "1.2.3";
    const fs::path series = study / "1.2.3.4";
    const Case cases[] = {
        {"write fails, new object", false, false, halfWriter, nullptr, FilingResult::FileNotWritten},
        {"write fails, re-send", false, true, halfWriter, nullptr, FilingResult::FileNotWritten},
        {"writer throws", false, false, throwingWriter, nullptr, FilingResult::FileNotWritten, true},
        {"image index fails, new object", false, false, WriteMarkerFile, folderAt(series / "Image.dir"),
         FilingResult::IndexNotWritten},
        {"study index cannot be appended to", false, false, WriteMarkerFile,
         folderAt(database / "KPStudy.dir"), FilingResult::IndexNotWritten},
        {"series index cannot be appended to", false, false, WriteMarkerFile, folderAt(study / "Series.dir"),
         FilingResult::IndexNotWritten},
        {"study folder cannot be made", false, false, WriteMarkerFile, fileAt(study),
         FilingResult::IndexNotWritten},
        {"series folder cannot be made", false, false, WriteMarkerFile, fileAt(series),
         FilingResult::IndexNotWritten},
        {"study folder is a link to itself", false, false, WriteMarkerFile, loopAt(study),
         FilingResult::IndexNotWritten},
        {"series folder is a link to itself", false, false, WriteMarkerFile, loopAt(series),
         FilingResult::IndexNotWritten},
        {"series folder of the storage tree cannot be made", true, false, WriteMarkerFile,
         fileAt(separate / "1.2.3" / "1.2.3.4"), FilingResult::IndexNotWritten},
        {"final name held by a folder", true, false, WriteMarkerFile,
         fileAt(separate / "1.2.3" / "1.2.3.4" / (sop + ".dcm") / "inside"), FilingResult::FileNotWritten},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(database);
        fs::remove_all(separate);
        const std::string store = c.separateStore ? separate.string() : root();
        const fs::path file = fs::path(store) / "1.2.3" / "1.2.3.4" / (sop + ".dcm");
        if (c.earlierCopy) {
            ASSERT_EQ(
                FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", sop), WriteMarkerFile).index,
                FilingResult::Indexed);
        }
        if (c.breakFiling) c.breakFiling();
        // Looked at without following a link loop into an exception.
        auto isFile = [](const fs::path& path) {
            std::error_code ec;
            return fs::is_regular_file(path, ec);
        };
        std::string imagesBefore =
            isFile(ImageIndex("1.2.3", "1.2.3.4")) ? ReadText(ImageIndex("1.2.3", "1.2.3.4")) : "";

        FilingOutcome outcome;
        if (c.throws) {
            EXPECT_THROW(FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", sop), c.writer),
                         std::bad_alloc);
        } else {
            outcome = FileReceivedObject(store, root(), MakeObject("1.2.3", "1.2.3.4", sop), c.writer);
            EXPECT_EQ(outcome.index, c.expected);
        }
        EXPECT_FALSE(outcome.Filed());
        EXPECT_TRUE(StagedObjects(IncomingFolder(store)).empty())
            << StagedObjects(IncomingFolder(store)).front();
        if (c.earlierCopy) {
            EXPECT_EQ(ReadText(file), "object");
        } else {
            EXPECT_FALSE(isFile(file));
        }
        if (isFile(ImageIndex("1.2.3", "1.2.3.4"))) {
            EXPECT_EQ(ReadText(ImageIndex("1.2.3", "1.2.3.4")), imagesBefore);
        }
    }
}

TEST_F(FilingTest, StartingPreparesTheFolderAndClearsWhatDeadProcessesLeft) {
    std::string store = (temp.Path() / "store").string();
    std::string reason;
    ASSERT_TRUE(PrepareStorageFolder(store, reason)) << reason;
    fs::path incoming = IncomingFolder(store);
    // Left by a process that is gone, by no process of ours, by earlier processes whose PIDs now
    // belong to live ones (this one and process 1), and by a server still filing on this folder:
    // only that one stays when a second server starts on the folder.
    std::ofstream(incoming / "999999999-1.part") << "x";
    std::ofstream(incoming / "stray") << "x";
    std::ofstream(incoming / (std::to_string(::getpid()) + "-77.part")) << "x";
    std::ofstream(incoming / "1-1.part") << "x";
    std::ofstream(incoming / "1-1-00000000-2.part") << "x";
    StagedFile filing(incoming.string() + "/", ".part");
    ASSERT_TRUE(filing.Valid());
    ASSERT_TRUE(PrepareStorageFolder(store, reason)) << reason;
    std::vector<fs::path> left = Tree(incoming);
    EXPECT_EQ(left, std::vector<fs::path>{fs::path(filing.Name())});

    // A folder that cannot be written is told at once. (Root ignores permissions: a file in
    // the folder's place makes it unusable for everyone.)
    std::ofstream(temp.Path() / "plain") << "x";
    EXPECT_FALSE(PrepareStorageFolder((temp.Path() / "plain").string(), reason));
    EXPECT_NE(reason.find("plain"), std::string::npos) << reason;
    EXPECT_FALSE(PrepareDatabaseRoot((temp.Path() / "plain" / "db").string(), reason));
}

// Runs `work(thread, round)` on `threads` threads for every round; all threads start each
// round together, so that they race for the same study or series in it.
template <typename Work>
void RunInRounds(int threads, int rounds, Work work) {
    std::barrier sync(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int round = 1; round <= rounds; ++round) {
                sync.arrive_and_wait();
                work(t, round);
            }
        });
    for (std::thread& worker : workers) worker.join();
}

// Every thread files one object of each of many new studies, so that each study's first
// objects race for its folder and index lines.
TEST_F(FilingTest, ObjectsArrivingAtOnceGiveOneStudyAndOneSeriesLine) {
    constexpr int kThreads = 8;
    constexpr int kStudies = 100;
    std::atomic<int> indexed{0};
    RunInRounds(kThreads, kStudies, [&](int t, int s) {
        std::string study = "1.2." + std::to_string(s);
        ElementList data = MakeObject(study, study + ".1", study + ".1." + std::to_string(t + 1));
        if (Index(data) == FilingResult::Indexed) ++indexed;
    });
    EXPECT_EQ(indexed.load(), kThreads * kStudies);
    EXPECT_EQ(CountLines(StudyIndex()), static_cast<std::size_t>(kStudies));
    for (int s = 1; s <= kStudies; ++s) {
        std::string study = "1.2." + std::to_string(s);
        EXPECT_EQ(CountLines(SeriesIndex(study)), 1u) << study;
        EXPECT_EQ(CountLines(ImageIndex(study, study + ".1")), static_cast<std::size_t>(kThreads)) << study;
    }
}

// Copies of one object filed at once (a sender retrying) give one image line: the lock covers
// the index update and the file write together. Storage folder and database root are one, as
// a series send expects.
TEST_F(FilingTest, CopiesOfOneObjectArrivingAtOnceGiveOneImageLine) {
    constexpr int kThreads = 8;
    constexpr int kSeries = 25;
    RunInRounds(kThreads, kSeries, [&](int t, int s) {
        // Half the threads file the same object, the others objects of their own.
        std::string series = "1.2.3." + std::to_string(s);
        std::string sop = t % 2 ? series + ".100" : series + "." + std::to_string(t + 1);
        FileReceivedObject(root(), root(), MakeObject("1.2.3", series, sop), SlowWriter);
    });
    EXPECT_EQ(CountLines(StudyIndex()), 1u);
    EXPECT_EQ(CountLines(SeriesIndex("1.2.3")), static_cast<std::size_t>(kSeries));
    for (int s = 1; s <= kSeries; ++s) {
        std::string series = "1.2.3." + std::to_string(s);
        std::string images = ReadText(ImageIndex("1.2.3", series));
        EXPECT_EQ(CountLines(ImageIndex("1.2.3", series)), static_cast<std::size_t>(kThreads / 2 + 1));
        std::size_t copies = 0;
        std::string shared = "," + series + ".100,";
        for (std::size_t at = images.find(shared); at != std::string::npos; at = images.find(shared, at + 1))
            ++copies;
        EXPECT_EQ(copies, 1u) << series;
    }
}

// Files written by other systems, indexed from our reader's element lists, against the lines
// built from the attribute values as pydicom reads them.
TEST_F(FilingTest, PydicomSamplesGiveTheLinesOfTheirAttributes) {
    for (const char* name : {"CT_small.dcm", "MR_small.dcm", "rtplan.dcm"}) {
        std::string source = (testing_support::PydicomTestFiles() / name).string();
        ElementList data;
        std::string syntax;
        ASSERT_TRUE(ReadDatasetAndSyntax(source, data, syntax)) << name;
        ASSERT_EQ(Index(data), FilingResult::Indexed) << name;

        int exitCode = -1;
        std::string expected = testing_support::RunCommand(
            "/usr/bin/python3 " +
                testing_support::Quote(PELLA_SOURCE_DIR "/tests/services/scripts/expected_index_lines.py") +
                " " + testing_support::Quote(source),
            &exitCode);
        ASSERT_EQ(exitCode, 0) << name;
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; (end = expected.find('\n', start)) != std::string::npos;
             start = end + 1)
            lines.push_back(expected.substr(start, end - start));
        ASSERT_EQ(lines.size(), 3u) << expected;

        ObjectUids uids = ReadObjectUids(data);
        std::string study = ReadText(StudyIndex());
        EXPECT_NE(study.find(lines[0] + ",\xA7" + TodayAsShortDate() + "\r\n"), std::string::npos) << name;
        EXPECT_EQ(ReadText(SeriesIndex(uids.study)), lines[1] + "\r\n") << name;
        EXPECT_EQ(ReadText(ImageIndex(uids.study, uids.series)), lines[2] + "\r\n") << name;
    }
    EXPECT_EQ(CountLines(StudyIndex()), 3u);
}

}  // namespace
}  // namespace pella
