// The threads that serve associations side by side: started per connection up to a limit,
// counted and waited for, so that a server can stop without leaving a thread behind.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "net/transport/socket_handle.h"

namespace pella {

class AssociationWorkers {
public:
    using Work = std::function<void(SocketHandle connection)>;

    AssociationWorkers() = default;
    ~AssociationWorkers();  // waits for every worker
    AssociationWorkers(const AssociationWorkers&) = delete;
    AssociationWorkers& operator=(const AssociationWorkers&) = delete;

    // Runs `work` on a thread of its own with the connection. False when `limit` workers are
    // running already (the connection stays with the caller) or no thread can be made (the
    // connection is closed).
    bool Start(SocketHandle& connection, std::size_t limit, Work work);

    // Workers still running.
    std::size_t Running();

    // Waits until every worker has ended.
    void JoinAll();

private:
    struct Worker {
        std::thread thread;
        bool finished = false;  // set by the worker as its last step
    };

    void ReapFinished();  // joins the finished workers; call with mutex_ held

    std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace pella
