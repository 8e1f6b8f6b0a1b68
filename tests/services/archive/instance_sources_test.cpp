// The two instance sources of the retrieve services, the archive index and the folder walk, over
// the same stored files: for every kind of retrieve keys both list the same instances, with
// their paths, classes and stored syntaxes, and a listing stops when its visitor says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "services/archive/folder_instance_source.h"
#include "services/archive/index_instance_source.h"
#include "services/index/archive_index.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::PydicomFile;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

struct Sample {
    std::string patient, study, series, sop, sopClass, syntax;
};

using Listed = std::set<std::tuple<std::string, std::string, std::string, std::string>>;

Listed List(const InstanceSource& source, const RetrieveKeys& keys) {
    Listed listed;
    std::string why;
    EXPECT_TRUE(source(
        keys,
        [&](const StoredInstance& i) {
            listed.insert({i.path, i.sopClassUid, i.sopInstanceUid, i.transferSyntaxUid});
            return true;
        },
        why))
        << why;
    return listed;
}

class InstanceSources : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        std::unique_ptr<ArchiveIndex> index = OpenArchiveIndex(dir.Path().string(), reason);
        ASSERT_TRUE(index) << reason;
        for (const char* name : {"CT_small.dcm", "MR_small.dcm", "rtplan.dcm", "SC_rgb_jpeg_gdcm.dcm"}) {
            ElementList meta, data;
            ParseState state;
            ASSERT_TRUE(ReadPart10File(PydicomFile(name), meta, data, state)) << name;
            Sample s{GetElementText(data, 0x0010, 0x0020), ElementUid(data, 0x0020, 0x000D),
                     ElementUid(data, 0x0020, 0x000E),     ElementUid(data, 0x0008, 0x0018),
                     ElementUid(data, 0x0008, 0x0016),     ElementUid(meta, 0x0002, 0x0010)};
            std::string path = s.study + "/" + s.series + "/" + s.sop + ".dcm";
            fs::create_directories(dir.File(s.study + "/" + s.series));
            fs::copy_file(PydicomFile(name), dir.File(path));
            ASSERT_TRUE(index->Record(IndexedInstanceOf(data, s.syntax, path))) << name;
            samples.push_back(s);
        }
    }

    TempDir dir;
    std::vector<Sample> samples;
};

}  // namespace

TEST_F(InstanceSources, IndexAndFolderListTheSameInstances) {
    InstanceSource index = IndexInstanceSource(dir.Path().string());
    InstanceSource folder = FolderInstanceSource(dir.Path().string());
    const Sample& ct = samples[0];
    const Sample& mr = samples[1];
    const Sample& jpeg = samples[3];
    const struct {
        const char* label;
        RetrieveKeys keys;
        std::size_t expected;
    } cases[] = {
        {"one study", {ArchiveLevel::Study, {}, {ct.study}, {}, {}}, 1},
        {"two studies", {ArchiveLevel::Study, {}, {ct.study, mr.study}, {}, {}}, 2},
        {"series without its study", {ArchiveLevel::Series, {}, {}, {jpeg.series}, {}}, 1},
        {"image", {ArchiveLevel::Image, {}, {mr.study}, {mr.series}, {mr.sop}}, 1},
        {"image named alone", {ArchiveLevel::Image, {}, {}, {}, {ct.sop, jpeg.sop}}, 2},
        {"patient", {ArchiveLevel::Patient, {ct.patient}, {}, {}, {}}, 1},
        {"unknown study", {ArchiveLevel::Study, {}, {"1.2.3.4.5.6"}, {}, {}}, 0},
        {"series of another study", {ArchiveLevel::Series, {}, {ct.study}, {mr.series}, {}}, 0},
    };
    for (const auto& c : cases) {
        Listed fromIndex = List(index, c.keys);
        EXPECT_EQ(fromIndex.size(), c.expected) << c.label;
        EXPECT_EQ(fromIndex, List(folder, c.keys)) << c.label;
    }
    // The stored syntax is listed as stored (the JPEG sample stays JPEG lossless).
    Listed one = List(index, {ArchiveLevel::Image, {}, {}, {}, {jpeg.sop}});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(std::get<3>(*one.begin()), jpeg.syntax);
    EXPECT_EQ(std::get<1>(*one.begin()), jpeg.sopClass);

    // A visitor that stops after the first instance gets one, and the listing is no failure.
    for (const InstanceSource* source : {&index, &folder}) {
        int seen = 0;
        std::string why;
        EXPECT_TRUE((*source)(
            {ArchiveLevel::Study, {}, {ct.study, mr.study}, {}, {}},
            [&](const StoredInstance&) { return ++seen < 1; }, why));
        EXPECT_EQ(seen, 1);
    }
}

TEST(InstanceSourcesWithoutStorage, ListingAMissingFolderFails) {
    TempDir dir;
    std::string missing = dir.File("missing");
    std::string why;
    EXPECT_FALSE(FolderInstanceSource(missing)(
        {ArchiveLevel::Study, {}, {"1.2.3"}, {}, {}}, [](const StoredInstance&) { return true; }, why));
    EXPECT_FALSE(why.empty());
}
