#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "services/index/archive_index.h"
#include "services/index/index_attributes.h"
#include "services/index/index_sql.h"
#include "support/data_set_builder.h"
#include "support/postgres_cluster.h"
#include "support/temp_dir.h"

namespace {

using namespace pella;
using testing_support::AddText;
using testing_support::TempDir;

struct Object {
    std::string patientId, name, birth, study, studyDate, studyTime, accession, series, modality, sop, number;
};

// Two patients, three studies, five series, eight instances.
const std::vector<Object> kObjects = {
    {"P1", "Doe^John", "19700101", "1.2.1", "20200105", "083000", "A1", "1.2.1.1", "CT", "1.2.1.1.1", "1"},
    {"P1", "Doe^John", "19700101", "1.2.1", "20200105", "083000", "A1", "1.2.1.1", "CT", "1.2.1.1.2", "2"},
    {"P1", "Doe^John", "19700101", "1.2.1", "20200105", "083000", "A1", "1.2.1.2", "SR", "1.2.1.2.1", "1"},
    {"P1", "Doe^John", "19700101", "1.2.2", "20210610", "141500", "A2", "1.2.2.1", "MR", "1.2.2.1.1", "1"},
    {"P2", "Roe^Jane[x]", "19851224", "1.2.3", "20221231", "235959", "B7", "1.2.3.1", "MR", "1.2.3.1.1", "1"},
    {"P2", "Roe^Jane[x]", "19851224", "1.2.3", "20221231", "235959", "B7", "1.2.3.1", "MR", "1.2.3.1.2", "2"},
    {"P2", "Roe^Jane[x]", "19851224", "1.2.3", "20221231", "235959", "B7", "1.2.3.2", "CT", "1.2.3.2.1", "1"},
    {"P2", "Roe^Jane[x]", "19851224", "1.2.3", "20221231", "235959", "B7", "1.2.3.2", "CT", "1.2.3.2.2", "2"},
};

ElementList DataSetOf(const Object& o) {
    ElementList list;
    AddText(list, 0x0008, 0x0005, "CS", "ISO_IR 100");
    AddText(list, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    AddText(list, 0x0008, 0x0018, "UI", o.sop);
    AddText(list, 0x0008, 0x0020, "DA", o.studyDate);
    AddText(list, 0x0008, 0x0030, "TM", o.studyTime);
    AddText(list, 0x0008, 0x0050, "SH", o.accession);
    AddText(list, 0x0008, 0x0060, "CS", o.modality);
    AddText(list, 0x0010, 0x0010, "PN", o.name);
    AddText(list, 0x0010, 0x0020, "LO", o.patientId);
    AddText(list, 0x0010, 0x0030, "DA", o.birth);
    AddText(list, 0x0020, 0x000D, "UI", o.study);
    AddText(list, 0x0020, 0x000E, "UI", o.series);
    AddText(list, 0x0020, 0x0013, "IS", o.number);
    // A study with a procedure code held with a defined length, a series with its request.
    if (o.series == "1.2.1.1") {
        ElementList code;
        AddText(code, 0x0008, 0x0100, "SH", "T-1234");
        AddText(code, 0x0008, 0x0102, "SH", "LN");
        testing_support::AddSequence(list, 0x0008, 0x1032, code, true);
    }
    if (o.series == "1.2.3.1") {
        ElementList request;
        AddText(request, 0x0040, 0x0009, "SH", "SPS1");
        AddText(request, 0x0040, 0x1001, "SH", "RP7");
        testing_support::AddSequence(list, 0x0040, 0x0275, request);
    }
    return list;
}

std::string PathOf(const Object& o) {
    return o.study + "/" + o.series + "/" + o.sop + ".dcm";
}

// Every test runs on both backends: SQLite beside the files, and a new database of a
// throw-away PostgreSQL cluster.
class ArchiveIndexTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string reason;
        if (std::string(GetParam()) == "postgresql") {
            auto& cluster = testing_support::PostgresCluster::Shared();
            ASSERT_TRUE(cluster.Started()) << cluster.Failure();
            std::string location = cluster.NewDatabase();
            ASSERT_FALSE(location.empty()) << cluster.Failure();
            ASSERT_TRUE(SetArchiveIndexLocation(dir_.Path().string(), location, reason)) << reason;
        }
        bool created = false;
        index_ = OpenArchiveIndex(dir_.Path().string(), reason, &created);
        ASSERT_TRUE(index_) << reason;
        EXPECT_TRUE(created);
        for (const Object& o : kObjects)
            ASSERT_TRUE(index_->Record(IndexedInstanceOf(DataSetOf(o), "1.2.840.10008.1.2.1", PathOf(o))));
    }

    // The first key's value of every matching row.
    std::vector<std::string> Find(ArchiveLevel level, std::vector<IndexQueryKey> keys) {
        IndexQuery query{level, std::move(keys)};
        std::vector<std::string> firsts;
        EXPECT_EQ(IndexScan::Completed, index_->Find(query, [&](const QueryRow& row) {
            EXPECT_EQ(query.keys.size(), row.values.size());
            EXPECT_EQ("ISO_IR 100", row.specificCharacterSet);
            firsts.push_back(row.values.at(0));
            return true;
        }));
        return firsts;
    }

    TempDir dir_;
    std::unique_ptr<ArchiveIndex> index_;
};

using Strings = std::vector<std::string>;

TEST_P(ArchiveIndexTest, MatchesEveryKindAtEveryLevel) {
    struct Case {
        const char* what;
        ArchiveLevel level;
        std::vector<IndexQueryKey> keys;  // the first one is what each row reports
        Strings expected;
    };
    const std::vector<Case> cases = {
        {"patients, universal", ArchiveLevel::Patient, {{0x0010, 0x0020, ""}}, {"P1", "P2"}},
        {"patients, single value", ArchiveLevel::Patient, {{0x0010, 0x0020, "P2"}}, {"P2"}},
        {"patients, wildcard *",
         ArchiveLevel::Patient,
         {{0x0010, 0x0020, ""}, {0x0010, 0x0010, "Doe*"}},
         {"P1"}},
        {"patients, wildcard ? and a literal [",
         ArchiveLevel::Patient,
         {{0x0010, 0x0020, ""}, {0x0010, 0x0010, "Roe^Jane[?]"}},
         {"P2"}},
        {"patients, case matters",
         ArchiveLevel::Patient,
         {{0x0010, 0x0020, ""}, {0x0010, 0x0010, "doe*"}},
         {}},
        {"patients, birth date range",
         ArchiveLevel::Patient,
         {{0x0010, 0x0020, ""}, {0x0010, 0x0030, "19800101-19901231"}},
         {"P2"}},
        {"studies, universal", ArchiveLevel::Study, {{0x0020, 0x000D, ""}}, {"1.2.1", "1.2.2", "1.2.3"}},
        {"studies, UID list", ArchiveLevel::Study, {{0x0020, 0x000D, "1.2.3\\1.2.1"}}, {"1.2.1", "1.2.3"}},
        {"studies, date from",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0020, "20210101-"}},
         {"1.2.2", "1.2.3"}},
        {"studies, date until",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0020, "-20210610"}},
         {"1.2.1", "1.2.2"}},
        {"studies, time range up to a minute",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0030, "0800-1415"}},
         {"1.2.1", "1.2.2"}},
        {"studies, patient key above",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0010, 0x0020, "P1"}},
         {"1.2.1", "1.2.2"}},
        {"studies, modalities in study",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0061, "SR"}},
         {"1.2.1"}},
        {"studies, modalities any of two",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0061, "SR\\MR"}},
         {"1.2.1", "1.2.2", "1.2.3"}},
        {"studies, accession wildcard",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0050, "A?"}},
         {"1.2.1", "1.2.2"}},
        {"series in a study",
         ArchiveLevel::Series,
         {{0x0020, 0x000E, ""}, {0x0020, 0x000D, "1.2.3"}},
         {"1.2.3.1", "1.2.3.2"}},
        {"series by modality",
         ArchiveLevel::Series,
         {{0x0020, 0x000E, ""}, {0x0008, 0x0060, "CT"}},
         {"1.2.1.1", "1.2.3.2"}},
        {"images in a series",
         ArchiveLevel::Image,
         {{0x0008, 0x0018, ""}, {0x0020, 0x000E, "1.2.1.1"}},
         {"1.2.1.1.1", "1.2.1.1.2"}},
        {"images by number",
         ArchiveLevel::Image,
         {{0x0008, 0x0018, ""}, {0x0020, 0x0013, "2"}},
         {"1.2.1.1.2", "1.2.3.1.2", "1.2.3.2.2"}},
        {"series by a key in the first item of a sequence",
         ArchiveLevel::Series,
         {{0x0020, 0x000E, ""}, {0x0040, 0x0275, "", 0, 0, true}, {0x0040, 0x1001, "RP?", 0x0040, 0x0275}},
         {"1.2.3.1"}},
        {"studies by a code in a sequence of defined length",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x1032, "", 0, 0, true}, {0x0008, 0x0100, "T-1234", 0x0008, 0x1032}},
         {"1.2.1"}},
        {"an item key outside its sequence matches nothing stored",
         ArchiveLevel::Series,
         {{0x0020, 0x000E, ""}, {0x0040, 0x1001, "RP7"}},
         {"1.2.1.1", "1.2.1.2", "1.2.2.1", "1.2.3.1", "1.2.3.2"}},
        {"image key below the level is not matched",
         ArchiveLevel::Study,
         {{0x0020, 0x000D, ""}, {0x0008, 0x0018, "1.2.1.1.1"}},
         {"1.2.1", "1.2.2", "1.2.3"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, Find(c.level, c.keys)) << c.what;
}

TEST_P(ArchiveIndexTest, ReturnsValuesAndCounts) {
    IndexQuery query{ArchiveLevel::Study,
                     {{0x0020, 0x000D, "1.2.1"},
                      {0x0010, 0x0010, ""},
                      {0x0008, 0x0061, ""},
                      {0x0020, 0x1206, ""},
                      {0x0020, 0x1208, ""},
                      {0x0008, 0x0018, ""}}};
    std::vector<QueryRow> rows;
    index_->Find(query, [&](const QueryRow& row) {
        rows.push_back(row);
        return true;
    });
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((Strings{"1.2.1", "Doe^John", "CT\\SR", "2", "3", ""}), rows[0].values);
}

TEST_P(ArchiveIndexTest, ListsInstancesOfARetrievalAndStopsWhenAsked) {
    struct Case {
        RetrieveKeys keys;
        Strings expected;
    };
    const std::vector<Case> cases = {
        {{ArchiveLevel::Patient, {"P1"}, {}, {}, {}}, {"1.2.1.1.1", "1.2.1.1.2", "1.2.1.2.1", "1.2.2.1.1"}},
        {{ArchiveLevel::Study, {}, {"1.2.2", "1.2.3"}, {}, {}},
         {"1.2.2.1.1", "1.2.3.1.1", "1.2.3.1.2", "1.2.3.2.1", "1.2.3.2.2"}},
        {{ArchiveLevel::Series, {}, {"1.2.3"}, {"1.2.3.2"}, {}}, {"1.2.3.2.1", "1.2.3.2.2"}},
        {{ArchiveLevel::Series, {}, {"1.2.1"}, {"1.2.3.2"}, {}}, {}},
        {{ArchiveLevel::Image, {}, {}, {}, {"1.2.1.2.1", "9.9"}}, {"1.2.1.2.1"}},
        // Keys below the level do not narrow it.
        {{ArchiveLevel::Study, {}, {"1.2.2"}, {"1.2.3.2"}, {}}, {"1.2.2.1.1"}},
    };
    for (const Case& c : cases) {
        Strings listed;
        EXPECT_EQ(IndexScan::Completed, index_->ListInstances(c.keys, [&](const StoredInstance& instance) {
            listed.push_back(instance.sopInstanceUid);
            EXPECT_EQ("1.2.840.10008.5.1.4.1.1.7", instance.sopClassUid);
            EXPECT_EQ("1.2.840.10008.1.2.1", instance.transferSyntaxUid);
            EXPECT_EQ(instance.sopInstanceUid + ".dcm", instance.path.substr(instance.path.rfind('/') + 1));
            return true;
        }));
        EXPECT_EQ(c.expected, listed);
    }
    int seen = 0;
    EXPECT_EQ(IndexScan::Stopped, index_->ListInstances({ArchiveLevel::Study, {}, {"1.2.3"}, {}, {}},
                                                        [&](const StoredInstance&) { return ++seen < 2; }));
    EXPECT_EQ(2, seen);
}

TEST_P(ArchiveIndexTest, AnObjectStoredAgainKeepsOneRowWithItsNewValues) {
    Object again = kObjects[0];
    again.number = "42";
    ASSERT_TRUE(index_->Record(IndexedInstanceOf(DataSetOf(again), "1.2.840.10008.1.2", PathOf(again))));
    EXPECT_EQ(static_cast<long long>(kObjects.size()), index_->CountInstances());
    EXPECT_EQ(Strings{"1.2.1.1.1"},
              Find(ArchiveLevel::Image, {{0x0008, 0x0018, ""}, {0x0020, 0x0013, "42"}}));
}

TEST_P(ArchiveIndexTest, ARolledBackRecordLeavesNoRow) {
    Object extra = kObjects[0];
    extra.sop = "1.2.1.1.9";
    ASSERT_TRUE(index_->Begin());
    ASSERT_TRUE(index_->Record(IndexedInstanceOf(DataSetOf(extra), "1.2.840.10008.1.2", PathOf(extra))));
    index_->Rollback();
    EXPECT_EQ(static_cast<long long>(kObjects.size()), index_->CountInstances());
    // A new patient, study and series whose rows went with a rollback: the next object of that
    // series makes them again rather than pointing at rows that are not there.
    Object fresh{"P9", "Poe^Ed",  "19600101", "1.2.9",     "20230101", "120000",
                 "C1", "1.2.9.1", "CT",       "1.2.9.1.1", "1"};
    ASSERT_TRUE(index_->Begin());
    ASSERT_TRUE(index_->Record(IndexedInstanceOf(DataSetOf(fresh), "1.2.840.10008.1.2", PathOf(fresh))));
    index_->Rollback();
    fresh.sop = "1.2.9.1.2";
    ASSERT_TRUE(index_->Record(IndexedInstanceOf(DataSetOf(fresh), "1.2.840.10008.1.2", PathOf(fresh))));
    EXPECT_EQ((std::vector<std::string>{"1.2.9.1.2"}),
              Find(ArchiveLevel::Image, {{0x0008, 0x0018, ""}, {0x0010, 0x0020, "P9"}}));
}

TEST_P(ArchiveIndexTest, QueryValuesAreBoundNeverSpliced) {
    // Quotes and SQL in a value only ever match as text.
    for (const char* hostile : {"x' OR '1'='1", "'; DROP TABLE patients; --", "\\\\\\", "*'*"})
        EXPECT_TRUE(Find(ArchiveLevel::Patient, {{0x0010, 0x0020, ""}, {0x0010, 0x0010, hostile}}).empty())
            << hostile;
    EXPECT_EQ(static_cast<long long>(kObjects.size()), index_->CountInstances());
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveIndexTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(ArchiveIndexTest, CopiesEveryRecordWithItsValues) {
    std::vector<IndexedInstance> records;
    EXPECT_EQ(IndexScan::Completed, index_->ListRecords([&](const IndexedInstance& record) {
        records.push_back(record);
        return true;
    }));
    ASSERT_EQ(kObjects.size(), records.size());
    // A patient, study or series row keeps the values of the first object recorded for it.
    auto firstOf = [](ArchiveLevel level, const Object& o) {
        for (const Object& earlier : kObjects) {
            const bool same = level == ArchiveLevel::Patient  ? earlier.patientId == o.patientId
                              : level == ArchiveLevel::Study  ? earlier.study == o.study
                              : level == ArchiveLevel::Series ? earlier.series == o.series
                                                              : earlier.sop == o.sop;
            if (same) return IndexedInstanceOf(DataSetOf(earlier), "1.2.840.10008.1.2.1", PathOf(earlier));
        }
        return IndexedInstance{};
    };
    for (std::size_t i = 0; i < kObjects.size(); ++i) {
        IndexedInstance expected =
            IndexedInstanceOf(DataSetOf(kObjects[i]), "1.2.840.10008.1.2.1", PathOf(kObjects[i]));
        std::span<const IndexAttribute> attributes = IndexAttributes();
        for (std::size_t a = 0; a < attributes.size(); ++a)
            expected.values.at(a) = firstOf(attributes[a].level, kObjects[i]).values.at(a);
        EXPECT_EQ(expected.values, records[i].values) << i;
        EXPECT_EQ(expected.path, records[i].path);
        EXPECT_EQ("ISO_IR 100", records[i].specificCharacterSet);
        EXPECT_EQ("1.2.840.10008.1.2.1", records[i].transferSyntaxUid);
    }
}

TEST(IndexSql, PostgresFormNumbersParametersAndTurnsGlobIntoLike) {
    struct Case {
        SqlStatement sqlite;
        SqlStatement postgres;
    };
    const std::vector<Case> cases = {
        {{"a = ? AND b GLOB ? AND c IN (?, ?)", {"x", "Roe^[[]x]*_%\\?", "1", "2"}},
         {"a = $1 AND b LIKE $2 AND c IN ($3, $4)", {"x", "Roe^[x]%\\_\\%\\\\_", "1", "2"}}},
        {{"SELECT group_concat(m, '?') FROM t WHERE x = ?", {"v"}},
         {"SELECT string_agg(m, '?') FROM t WHERE x = $1", {"v"}}},
        {{"CREATE TABLE t (id INTEGER PRIMARY KEY, r INTEGER NOT NULL, GLOBAL TEXT)", {}},
         {"CREATE TABLE t (id BIGSERIAL PRIMARY KEY, r BIGINT NOT NULL, GLOBAL TEXT)", {}}},
    };
    for (const Case& c : cases) {
        SqlStatement turned = InDialect(c.sqlite, SqlDialect::Postgres);
        EXPECT_EQ(c.postgres.text, turned.text);
        EXPECT_EQ(c.postgres.bindings, turned.bindings) << c.sqlite.text;
        EXPECT_EQ(c.sqlite.text, InDialect(c.sqlite, SqlDialect::Sqlite).text);
    }
}

TEST(IndexSql, GlobPatternKeepsBracketsLiteral) {
    EXPECT_EQ("Roe^Jane[[]x]*", GlobPattern("Roe^Jane[x]*"));
    EXPECT_EQ((Strings{"1.2", "3.4"}), SplitValues(" 1.2 \\\\3.4\\"));
}

}  // namespace

TEST(ArchiveIndexLayout, AnIndexOfAnEarlierLayoutIsMadeAnewAndReportedForARebuild) {
    TempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(IndexDatabasePath(dir.Path().string()).c_str(), &db,
                                         SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                      "CREATE TABLE patients (id INTEGER PRIMARY KEY, patient_name TEXT);"
                                      "INSERT INTO patients (patient_name) VALUES ('Old^Row')",
                                      nullptr, nullptr, nullptr));
    sqlite3_close_v2(db);
    for (bool expectRebuild : {true, false}) {
        std::string reason;
        bool created = false;
        std::unique_ptr<ArchiveIndex> index = OpenArchiveIndex(dir.Path().string(), reason, &created);
        ASSERT_TRUE(index) << reason;
        EXPECT_EQ(expectRebuild, created) << "the second opening finds the current layout";
        ASSERT_TRUE(index->Record(
            IndexedInstanceOf(DataSetOf(kObjects[0]), "1.2.840.10008.1.2.1", PathOf(kObjects[0]))));
        EXPECT_EQ(1, index->CountInstances());
    }
}
