#include "services/storage/association_workers.h"

#include <system_error>

namespace pella {

AssociationWorkers::~AssociationWorkers() {
    JoinAll();
}

bool AssociationWorkers::Start(SocketHandle& connection, std::size_t limit, Work work) {
    std::lock_guard lock(mutex_);
    ReapFinished();
    if (workers_.size() >= limit) return false;
    Worker& worker = workers_.emplace_back();
    auto finished = std::prev(workers_.end());
    try {
        worker.thread =
            std::thread([this, finished, work = std::move(work), owned = std::move(connection)]() mutable {
                try {
                    work(std::move(owned));
                } catch (...) {
                    // A worker's failure ends its association only.
                }
                std::lock_guard done(mutex_);
                finished->finished = true;
            });
    } catch (const std::system_error&) {
        workers_.pop_back();
        return false;
    }
    return true;
}

std::size_t AssociationWorkers::Running() {
    std::lock_guard lock(mutex_);
    ReapFinished();
    return workers_.size();
}

void AssociationWorkers::JoinAll() {
    std::list<Worker> all;
    {
        std::lock_guard lock(mutex_);
        all.splice(all.end(), workers_);
    }
    for (Worker& worker : all)
        if (worker.thread.joinable()) worker.thread.join();
}

void AssociationWorkers::ReapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (!it->finished) {
            ++it;
            continue;
        }
        if (it->thread.joinable()) it->thread.join();
        it = workers_.erase(it);
    }
}

}  // namespace pella
