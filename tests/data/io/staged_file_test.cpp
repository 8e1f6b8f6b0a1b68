#include "data/io/staged_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "support/log_file.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

mode_t ModeOf(const fs::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(StagedFile, IsRemovedUnlessMovedIntoPlaceAndGetsOrdinaryPermissions) {
    TempDir temp;
    const std::string prefix = temp.Path().string() + "/";
    std::string abandoned;
    {
        StagedFile staged(prefix, ".part");
        ASSERT_TRUE(staged.Valid());
        abandoned = staged.Name();
        EXPECT_TRUE(fs::is_regular_file(abandoned));
        std::ofstream(abandoned) << "half";
        // Into a folder that does not exist: the file stays staged, then goes with its owner.
        EXPECT_FALSE(staged.MoveTo(temp.File("missing/final.dcm")));
        EXPECT_TRUE(fs::is_regular_file(abandoned));
    }
    EXPECT_FALSE(fs::exists(abandoned));

    std::ofstream(temp.File("final.dcm")) << "old";
    std::ofstream(temp.File("plain")) << "x";  // made the ordinary way, for its permissions
    {
        StagedFile staged(prefix, ".part");
        ASSERT_TRUE(staged.Valid());
        std::ofstream(staged.Name()) << "new";
        EXPECT_TRUE(staged.Sync());
        EXPECT_TRUE(staged.MoveTo(temp.File("final.dcm")));
        EXPECT_FALSE(staged.Valid());
    }
    EXPECT_EQ(testing_support::ReadText(temp.File("final.dcm")), "new");
    EXPECT_EQ(ModeOf(temp.File("final.dcm")), ModeOf(temp.File("plain")));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 2);
    EXPECT_TRUE(SyncToDevice(temp.Path().string()));  // a folder's entries
    EXPECT_FALSE(SyncToDevice(temp.File("missing")));
}

TEST(StagedFile, NamesAreUniqueAndTellTheirProcess) {
    TempDir temp;
    const std::string prefix = temp.Path().string() + "/";
    std::vector<std::unique_ptr<StagedFile>> all;
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        all.push_back(std::make_unique<StagedFile>(prefix, ".part"));
        ASSERT_TRUE(all.back()->Valid());
        std::string name = fs::path(all.back()->Name()).filename().string();
        EXPECT_EQ(name.rfind(std::to_string(::getpid()) + "-", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 5), ".part");
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 200u);
    all.clear();
    EXPECT_TRUE(fs::is_empty(temp.Path()));
    EXPECT_FALSE(StagedFile(temp.File("missing") + "/", ".part").Valid());
}

TEST(StagedFile, StaleFilesGoAndThoseOfRunningProcessesStay) {
    TempDir temp;
    const std::string folder = temp.File("incoming");
    fs::create_directories(folder);
    StagedFile live(folder + "/", ".part");
    ASSERT_TRUE(live.Valid());
    const std::string ours = std::to_string(::getpid());
    // Kept: this process's, and one of process 1, which always runs.
    // Removed: a process that is gone, no process at all, names of no staged file, another suffix.
    for (const std::string& name :
         {std::string("1-3.part"), std::string("999999999-1.part"), std::string("0-1.part"),
          std::string("12x-1.part"), std::string("stray"), ours + "-5.tmp"})
        std::ofstream(folder + "/" + name) << "x";
    RemoveStaleStagedFiles(folder, ".part");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{fs::path(live.Name()).filename().string(), "1-3.part"}));
}

}  // namespace
}  // namespace pella
