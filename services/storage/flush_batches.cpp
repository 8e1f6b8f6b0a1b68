#include "services/storage/flush_batches.h"

#include <algorithm>
#include <system_error>
#include <thread>
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

// Flushes the paths side by side, up to kParallelFlushes at a time (the calling thread takes a
// share): the file system joins flushes that overlap into one commit to the device, where one
// after the other each paid a commit of its own.
bool FlushBatches::FlushTogether(const std::set<std::string>& paths) const {
    const std::vector<const std::string*> all = [&] {
        std::vector<const std::string*> list;
        for (const std::string& path : paths) list.push_back(&path);
        return list;
    }();
    const std::size_t lanes = std::min(all.size(), kParallelFlushes);
    std::vector<char> failed(lanes, 0);
    auto flushLane = [&](std::size_t lane) {
        for (std::size_t i = lane; i < all.size(); i += lanes)
            if (!flush_(*all[i])) failed[lane] = 1;
    };
    std::vector<std::thread> helpers;
    for (std::size_t lane = 1; lane < lanes; ++lane) {
        try {
            helpers.emplace_back(flushLane, lane);
        } catch (const std::system_error&) {
            flushLane(lane);  // no thread to be had: this lane is flushed here instead
        }
    }
    if (lanes > 0) flushLane(0);
    for (std::thread& helper : helpers) helper.join();
    return std::none_of(failed.begin(), failed.end(), [](char lane) { return lane != 0; });
}

// Takes the gathering batch and flushes it with the lock released, so that later objects join
// the next batch meanwhile; then wakes every waiter.
void FlushBatches::FlushAsLeader(std::unique_lock<std::mutex>& lock) {
    flushing_ = true;
    std::shared_ptr<Batch> batch = std::move(gathering_);
    gathering_.reset();
    lock.unlock();
    const bool ok = FlushTogether(batch->paths);
    const uint64_t calls = batch->paths.size();
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
