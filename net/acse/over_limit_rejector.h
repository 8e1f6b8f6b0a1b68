// Answers the connections a server has no place for with an A-ASSOCIATE-RJ: all of them on one
// thread, each a few bytes of state and its socket, however many arrive at once. Each request is
// read (its body dropped unread) and answered as soon as it is in; a connection that does not
// send its request within the wait, or that sends something else, is closed unanswered.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "net/acse/association_failures.h"
#include "net/transport/socket_handle.h"

namespace pella {

class OverLimitRejector {
public:
    using Clock = std::chrono::steady_clock;

    // `waitSeconds`: how long a connection may take to send its request; `capacity`: how many
    // connections wait at once (each holds a descriptor), past which the one that has waited
    // longest is closed to make room.
    OverLimitRejector(Rejection rejection, int waitSeconds, std::size_t capacity);
    ~OverLimitRejector();  // stops
    OverLimitRejector(const OverLimitRejector&) = delete;
    OverLimitRejector& operator=(const OverLimitRejector&) = delete;

    // Starts the thread; false (logged) when it or its descriptors cannot be made.
    bool Start();
    // Closes every connection still waiting and ends the thread.
    void Stop();
    // Hands a connection over to be answered; closed at once when the rejector is not running.
    void Add(SocketHandle connection);

private:
    // One connection's progress: the PDU header read so far, then the body left to drop; once
    // answered, it waits (briefly) for the peer to close first, so the answer is not lost to a
    // reset.
    struct Waiting {
        SocketHandle socket;
        int descriptor = -1;  // the socket's, kept for the index after a failed send closed it
        Clock::time_point deadline;
        uint8_t header[6] = {};
        std::size_t headerRead = 0;
        uint64_t bodyLeft = 0;
        bool answered = false;
    };
    using Entry = std::list<Waiting>::iterator;

    void Run();
    void TakeNewConnections();
    void Register(SocketHandle connection);
    void Serve(Entry entry);
    // Reads what is waiting; false when the connection is to be closed now.
    bool ReadAvailable(Waiting& waiting);
    bool Consume(Waiting& waiting, const uint8_t* bytes, std::size_t count);
    bool Answer(Waiting& waiting);
    void Drop(Entry entry);
    void DropExpired();
    int MillisecondsToNextDeadline() const;

    const Rejection rejection_;
    const std::chrono::seconds wait_;
    const std::size_t capacity_;

    int pollDescriptor_ = -1;  // epoll
    int wakeDescriptor_ = -1;  // eventfd: new connections or stop
    std::thread thread_;

    std::mutex mutex_;  // guards the two below
    std::vector<SocketHandle> arriving_;
    bool stopping_ = false;

    // The rejector thread's own: waiting connections, oldest first, and their places by socket.
    std::list<Waiting> waiting_;
    std::unordered_map<int, Entry> bySocket_;
};

}  // namespace pella
