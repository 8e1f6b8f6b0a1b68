// Index files changed by servers of several processes: a change waits for the lock another
// holds, and a line appended while another rewrites the file lands in the file that carries the
// name afterwards. (An open file description's lock conflicts with another description's in the
// same process too, so a thread stands in for the other server.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "services/storage/index_appender.h"
#include "services/storage/index_file_lock.h"
#include "services/storage/index_lines.h"
#include "support/temp_dir.h"

using namespace pella;
using testing_support::TempDir;

namespace {

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// While `holder` holds the lock of `file`, runs `change` on a thread, gives it time to reach
// the lock, then has the holder rename a new file with `replacement` over `file` and let go.
// Returns whether `change` had finished before the lock was let go.
bool ChangeWhileAnotherRewrites(const std::string& file, const std::string& replacement,
                                const std::function<void()>& change) {
    std::optional<IndexFileLock> holder;
    holder.emplace(file);
    EXPECT_TRUE(holder->Held());
    std::atomic<bool> finished{false};
    std::thread other([&] {
        change();
        finished = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool early = finished;
    std::ofstream(file + ".new", std::ios::binary) << replacement;
    std::filesystem::rename(file + ".new", file);
    holder.reset();
    other.join();
    return early;
}

}  // namespace

TEST(IndexFileLock, ChangesWaitForTheLockAndLandInTheFileThatCarriesTheName) {
    struct Case {
        const char* what;
        std::function<bool(const std::string& file)> change;
    };
    IndexAppender appender;  // holds the old file open, as filing does between objects
    const std::vector<Case> cases = {
        {"an append by a held-open appender",
         [&](const std::string& file) { return appender.Append(file, "mine\r\n"); }},
        {"an append opened for the line",
         [](const std::string& file) { return AppendIndexLine(file, "mine\r\n"); }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file = dir.File("Image.dir");
        ASSERT_TRUE(appender.Append(file, "old\r\n"));
        bool changed = false;
        bool early = ChangeWhileAnotherRewrites(file, "rewritten\r\n", [&] { changed = c.change(file); });
        EXPECT_FALSE(early) << c.what << ": did not wait for the lock";
        EXPECT_TRUE(changed) << c.what;
        EXPECT_EQ("rewritten\r\nmine\r\n", Contents(file)) << c.what;
        appender.CloseAll();
    }
}
