#include "services/storage/flush_batches.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pella {
namespace {

// Records, for every path, the moment (a sequence number shared with the callers) it was last
// flushed; paths named "bad..." fail.
class RecordingFlusher {
public:
    bool Flush(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        flushedAt_[path] = ++clock_;
        ++calls_;
        return path.rfind("bad", 0) != 0;
    }
    uint64_t Now() {
        std::lock_guard<std::mutex> lock(mutex_);
        return ++clock_;
    }
    uint64_t FlushedAt(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = flushedAt_.find(path);
        return it == flushedAt_.end() ? 0 : it->second;
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::map<std::string, uint64_t> flushedAt_;
    uint64_t clock_ = 0;
    int calls_ = 0;
};

// Many objects finishing at once, each with a file of its own and the folder and index they
// share: none returns before a flush that began after its call covered every path it named,
// and the shared paths are not flushed once per object.
TEST(FilingFlushBatches, EveryCallerReturnsOnlyAfterAFlushCoveringItsPaths) {
    RecordingFlusher recorder;
    FlushBatches batches([&](const std::string& path) { return recorder.Flush(path); });
    constexpr int kThreads = 8, kObjectsEach = 50;
    std::vector<std::thread> threads;
    std::vector<int> late(kThreads, 0), failed(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kObjectsEach; ++i) {
                const std::string own = "series" + std::to_string(t) + "/object" + std::to_string(i);
                const uint64_t called = recorder.Now();
                if (!batches.Flush({own, "series-folder", "Image.dir"})) ++failed[t];
                for (const std::string& path : {own, std::string("series-folder"), std::string("Image.dir")})
                    if (recorder.FlushedAt(path) <= called) ++late[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(late[t], 0) << "thread " << t << " returned before its paths were flushed";
        EXPECT_EQ(failed[t], 0);
    }
    // Each object's own path once, the shared ones once per batch (at most once per object).
    const int objects = kThreads * kObjectsEach;
    EXPECT_EQ(static_cast<uint64_t>(recorder.Calls()), batches.FlushCalls());
    EXPECT_LE(recorder.Calls(), 3 * objects);
    EXPECT_GE(recorder.Calls(), objects + 2);
}

TEST(FilingFlushBatches, AFailedFlushFailsItsBatchAndNotTheNext) {
    RecordingFlusher recorder;
    FlushBatches batches([&](const std::string& path) { return recorder.Flush(path); });
    EXPECT_FALSE(batches.Flush({"folder", "bad-index", "folder"}));
    EXPECT_EQ(recorder.Calls(), 2) << "a path named twice is flushed once";
    EXPECT_TRUE(batches.Flush({"folder", "index"}));
    EXPECT_TRUE(batches.Flush({}));
}

}  // namespace
}  // namespace pella
