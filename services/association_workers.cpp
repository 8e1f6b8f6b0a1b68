#include "services/association_workers.h"

#include <sys/socket.h>
#include <unistd.h>

#include <system_error>

namespace pella {

AssociationWorkers::~AssociationWorkers() {
    StopReceiving();
    JoinAll();
}

bool AssociationWorkers::Start(SocketHandle& connection, std::size_t limit, Work work) {
    std::lock_guard lock(mutex_);
    ReapFinished();
    if (workers_.size() >= limit) return false;
    int watch = ::dup(connection.Get());
    if (watch < 0) return false;
    Worker& worker = workers_.emplace_back();
    worker.watch = watch;
    auto finished = std::prev(workers_.end());
    try {
        worker.thread = std::thread([this, finished, work = std::move(work),
                                     owned = std::move(connection)]() mutable {
            try {
                work(std::move(owned));
            } catch (...) {
                // A worker's failure ends its association only.
            }
            std::lock_guard done(mutex_);
            ::close(finished->watch);
            finished->watch = -1;
            finished->finished = true;
        });
    } catch (const std::system_error&) {
        ::close(watch);
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

void AssociationWorkers::StopReceiving() {
    std::lock_guard lock(mutex_);
    for (Worker& worker : workers_)
        if (worker.watch >= 0) ::shutdown(worker.watch, SHUT_RD);
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
