// Filing with the archive index: the rows go with the index lines or not at all, and a rebuild
// from the files gives the rows filing wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "data/io/dataset_writer.h"
#include "services/index/archive_index.h"
#include "services/index/reindex.h"
#include "services/storage/archive_preparation.h"
#include "services/storage/filing.h"
#include "services/storage/index_lines.h"
#include "support/data_set_builder.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::AddText;
using testing_support::TempDir;

constexpr const char* kSyntax = "1.2.840.10008.1.2.1";

ElementList Object(const std::string& study, const std::string& series, const std::string& sop,
                   const std::string& name) {
    ElementList data;
    AddText(data, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2");
    AddText(data, 0x0008, 0x0018, "UI", sop);
    AddText(data, 0x0008, 0x0060, "CS", "CT");
    AddText(data, 0x0010, 0x0010, "PN", name);
    AddText(data, 0x0010, 0x0020, "LO", "PID-" + name);
    AddText(data, 0x0020, 0x000D, "UI", study);
    AddText(data, 0x0020, 0x000E, "UI", series);
    return data;
}

// Writes the object as a Part 10 file in explicit VR little endian.
ObjectFileWriter Part10Writer(const ElementList& data) {
    return [&data](const std::string& fileName) {
        ElementList meta;
        AddText(meta, 0x0002, 0x0002, "UI", GetElementText(data, 0x0008, 0x0016));
        AddText(meta, 0x0002, 0x0003, "UI", GetElementText(data, 0x0008, 0x0018));
        AddText(meta, 0x0002, 0x0010, "UI", kSyntax);
        return WritePart10File(fileName, &meta, data, true, false);
    };
}

// (SOP Instance UID, Patient's Name) of every instance row.
std::set<std::pair<std::string, std::string>> Rows(const std::string& storage) {
    std::string reason;
    auto index = OpenArchiveIndex(storage, reason);
    EXPECT_TRUE(index) << reason;
    std::set<std::pair<std::string, std::string>> rows;
    if (!index) return rows;
    IndexQuery query{ArchiveLevel::Image, {{0x0008, 0x0018, ""}, {0x0010, 0x0010, ""}}};
    index->Find(query, [&](const QueryRow& row) {
        rows.insert({row.values[0], row.values[1]});
        return true;
    });
    return rows;
}

class FilingArchiveTest : public ::testing::Test {
protected:
    FilingResult File(const ElementList& data) {
        return FileReceivedObject(root(), root(), data, Part10Writer(data),
                                  FilingOptions{false, true, kSyntax})
            .index;
    }
    std::string root() const { return temp.File("db"); }
    TempDir temp;
};

TEST_F(FilingArchiveTest, RowsGoWithTheIndexLinesOrNotAtAll) {
    ASSERT_EQ(FilingResult::Indexed, File(Object("1.2.5", "1.2.5.1", "1.2.5.1.1", "Doe^A")));
    ASSERT_EQ(FilingResult::Indexed, File(Object("1.2.5", "1.2.5.1", "1.2.5.1.2", "Doe^A")));
    // The series' image index cannot be written (a folder stands in its place): no file, no row.
    fs::create_directories(temp.Path() / "db" / "1.2.5" / "1.2.5.2" / "Image.dir");
    EXPECT_EQ(FilingResult::IndexNotWritten, File(Object("1.2.5", "1.2.5.2", "1.2.5.2.1", "Doe^A")));
    EXPECT_FALSE(fs::exists(temp.Path() / "db" / "1.2.5" / "1.2.5.2" / "1.2.5.2.1.dcm"));
    // Received again with a new name: one row, with the new value.
    ASSERT_EQ(FilingResult::AlreadyReceived, File(Object("1.2.5", "1.2.5.1", "1.2.5.1.2", "Doe^B")));
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ((std::set<Row>{{"1.2.5.1.1", "Doe^A"}, {"1.2.5.1.2", "Doe^A"}}), Rows(root()))
        << "the patient row keeps the first object's name; the instance row is renewed";
    // Refused objects write nothing anywhere.
    EXPECT_EQ(FilingResult::Refused, File(Object("1.2.5", "../x", "1.2.5.9", "Doe^A")));
    EXPECT_EQ(2u, Rows(root()).size());
}

// Objects filed at once share commits: every one is answered only when its rows are in, so each
// acknowledged object has its row and its line, and nothing is left out or listed twice.
TEST_F(FilingArchiveTest, ObjectsFiledAtOnceAreEachAcknowledgedWithTheirRows) {
    constexpr int kThreads = 8, kEach = 25;
    std::vector<std::vector<FilingResult>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string study = "1.2.7." + std::to_string(t % 2),
                                  series = study + "." + std::to_string(t);
                results[t].push_back(File(Object(study, series, series + "." + std::to_string(i), "Doe")));
            }
        });
    for (std::thread& thread : threads) thread.join();
    std::size_t lines = 0;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(std::vector<FilingResult>(kEach, FilingResult::Indexed), results[t]);
        const std::string study = "1.2.7." + std::to_string(t % 2);
        lines += ReadIndexLines(
                     (temp.Path() / "db" / study / (study + "." + std::to_string(t)) / "Image.dir").string())
                     .size();
    }
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kEach), lines);
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kEach), Rows(root()).size());
}

TEST_F(FilingArchiveTest, ARebuildFromTheFilesGivesTheSameRows) {
    for (int study = 1; study <= 3; ++study)
        for (int i = 1; i <= 4; ++i) {
            std::string s = "1.2.6." + std::to_string(study);
            ASSERT_EQ(FilingResult::Indexed, File(Object(s, s + ".1", s + ".1." + std::to_string(i),
                                                         "Name^" + std::to_string(study))));
        }
    auto filed = Rows(root());
    ASSERT_EQ(12u, filed.size());
    // Files that are no objects, and files outside the layout, are not recorded.
    std::ofstream(temp.Path() / "db" / "1.2.6.1" / "1.2.6.1.1" / "junk.dcm") << "not DICOM";
    std::ofstream(temp.Path() / "db" / "stray.dcm") << "not DICOM";

    fs::remove(IndexDatabasePath(root()));
    std::string reason;
    ASSERT_TRUE(PrepareArchiveIndex(root(), false, {}, reason)) << reason;  // a missing index is built
    EXPECT_EQ(filed, Rows(root()));

    std::string openReason;
    auto index = OpenArchiveIndex(root(), openReason);
    ASSERT_TRUE(index) << openReason;
    ReindexCounts counts;
    ASSERT_TRUE(RebuildIndex(*index, root(), counts));
    EXPECT_EQ(12u, counts.recorded);
    EXPECT_EQ(1u, counts.skipped);
    EXPECT_EQ(filed, Rows(root()));
    StoredInstance first;
    index->ListInstances({ArchiveLevel::Image, {}, {}, {}, {"1.2.6.2.1.3"}},
                         [&](const StoredInstance& instance) {
                             first = instance;
                             return false;
                         });
    EXPECT_EQ("1.2.6.2/1.2.6.2.1/1.2.6.2.1.3.dcm", first.path);
    EXPECT_EQ(kSyntax, first.transferSyntaxUid);
}

}  // namespace
}  // namespace pella
