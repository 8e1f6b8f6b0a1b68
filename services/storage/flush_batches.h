// Group commit for durable filing: the folders and index files that objects changed are flushed
// to the device once for every batch of objects that finished together, across associations,
// rather than once per object. A caller waits until a flush that began after its call has
// covered its paths. While one flush runs, the objects finishing meanwhile gather into the next
// batch, so the delay an object sees is at most the flush before its own; a lone object is
// flushed at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace pella {

class FlushBatches {
public:
    // Flushes one path (a file or folder) to the device; false when that failed. Called from
    // several threads at once for the paths of one batch.
    using Flusher = std::function<bool(const std::string& path)>;

    explicit FlushBatches(Flusher flush);

    // Returns once every path is flushed, together with those of the objects that finished
    // alongside; false when any path of the batch could not be flushed.
    bool Flush(const std::vector<std::string>& paths);

    // Flushes (device calls) made so far: fewer than the paths handed in when batches formed.
    uint64_t FlushCalls() const;

private:
    struct Batch {
        std::set<std::string> paths;
        bool done = false;
        bool ok = true;
    };

    static constexpr std::size_t kParallelFlushes = 8;

    void FlushAsLeader(std::unique_lock<std::mutex>& lock);
    bool FlushTogether(const std::set<std::string>& paths) const;

    Flusher flush_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::shared_ptr<Batch> gathering_;  // the batch that new paths join
    bool flushing_ = false;             // a leader is flushing a batch
    uint64_t flushCalls_ = 0;
};

}  // namespace pella
