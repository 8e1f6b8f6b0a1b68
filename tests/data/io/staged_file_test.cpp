#include "data/io/staged_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    const std::string liveName = fs::path(live.Name()).filename().string();
    const std::string ours = std::to_string(::getpid());
    const std::string identity = liveName.substr(0, liveName.rfind('-'));
    // Kept: this process's own. Removed: leftovers whose PID now belongs to a live process (this
    // one, or process 1) but whose start time or boot is not that process's, a process that is
    // gone, no process at all, names of no staged file, another suffix. Kept too: a file named on
    // another machine sharing the folder, whose process only that machine can see.
    const std::size_t at = identity.find('@');
    ASSERT_NE(at, std::string::npos) << "names carry the host: " << identity;
    const std::string boot = identity.substr(identity.rfind('-', at) + 1);  // with the host
    const std::string elsewhere = "1-1-00000000@another-host.example-3.part";
    const std::vector<std::string> leftovers = {
        "1-3.part",
        ours + "-7.part",
        ours + "-1-" + boot + "-2.part",
        identity.substr(0, at) + "x" + identity.substr(at) + "-4.part",
        elsewhere,
        "1-1-00000000-3.part",
        "999999999-1.part",
        "0-1.part",
        "12x-1.part",
        "stray",
        identity + "-5.tmp"};
    for (const std::string& name : leftovers) std::ofstream(folder + "/" + name) << "x";
    RemoveStaleStagedFiles(folder, ".part");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{liveName, elsewhere}));
}

// Another process's staged file stays while that process runs and goes once it has ended.
TEST(StagedFile, AnotherProcesssFilesStayWhileItRuns) {
    TempDir temp;
    const std::string folder = temp.File("incoming");
    fs::create_directories(folder);
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    StagedFile own(folder + "/", ".part");  // this process has named a file before the fork
    ASSERT_TRUE(own.Valid());
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(release[1]);
        StagedFile staged(folder + "/", ".part");
        char c = staged.Valid() ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1 || ::read(release[0], &c, 1) < 0) ::_exit(1);
        ::_exit(0);  // the file stays behind, as after a crash
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    RemoveStaleStagedFiles(folder, ".part");
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    std::set<std::string> owners;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        owners.insert(name.substr(0, name.find('-')));
    }
    EXPECT_EQ(owners, (std::set<std::string>{std::to_string(child), std::to_string(::getpid())}))
        << "the child names its files as itself";
    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    RemoveStaleStagedFiles(folder, ".part");
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_EQ(fs::directory_iterator(folder)->path(), fs::path(own.Name()));
    for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);
}

}  // namespace
}  // namespace pella
