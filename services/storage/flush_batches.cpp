#include "services/storage/flush_batches.h"

#include <utility>

namespace pella {

FlushBatches::FlushBatches(Flusher flush) : flush_(std::move(flush)) {}

bool FlushBatches::Flush(const std::vector<std::string>& paths) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!gathering_) gathering_ = std::make_shared<Batch>();
    std::shared_ptr<Batch> mine = gathering_;
    mine->paths.insert(paths.begin(), paths.end());
    while (!mine->done) {
        if (flushing_)
            finished_.wait(lock);
        else
            FlushAsLeader(lock);
    }
    return mine->ok;
}

// Takes the gathering batch and flushes it with the lock released, so that later objects join
// the next batch meanwhile; then wakes every waiter.
void FlushBatches::FlushAsLeader(std::unique_lock<std::mutex>& lock) {
    flushing_ = true;
    std::shared_ptr<Batch> batch = std::move(gathering_);
    gathering_.reset();
    lock.unlock();
    bool ok = true;
    uint64_t calls = 0;
    for (const std::string& path : batch->paths) {
        ok = flush_(path) && ok;
        ++calls;
    }
    lock.lock();
    flushCalls_ += calls;
    batch->ok = ok;
    batch->done = true;
    flushing_ = false;
    finished_.notify_all();
}

uint64_t FlushBatches::FlushCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return flushCalls_;
}

}  // namespace pella
