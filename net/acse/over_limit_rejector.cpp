#include "net/acse/over_limit_rejector.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "log/protocol_log.h"
#include "net/pdu/pdu_buffer.h"
#include "net/pdu/pdu_limits.h"
#include "net/pdu/pdu_records.h"

namespace pella {

namespace {

constexpr std::size_t kPduHeaderLength = 6;  // type, reserved, 32-bit length
constexpr int kEventsPerWait = 64;
// After the answer, how long the peer gets to close first.
constexpr std::chrono::seconds kCloseGrace{1};

uint32_t BigEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

bool MakeNonBlocking(int socket) {
    int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

void Signal(int eventDescriptor) {
    uint64_t one = 1;
    if (::write(eventDescriptor, &one, sizeof one) < 0) {
        // Only a counter at its maximum fails, and it is then readable anyway.
    }
}

// Ends the sending side after the answer and lets the close that follows be an orderly one (a
// listening socket with linger 0 hands that on to its connections, and a reset could make the
// peer lose the answer).
void FinishSending(int socket) {
    ::shutdown(socket, SHUT_WR);
    linger orderly{0, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &orderly, sizeof orderly);
}

}  // namespace

OverLimitRejector::OverLimitRejector(Rejection rejection, int waitSeconds, std::size_t capacity)
    : rejection_(rejection), wait_(std::max(waitSeconds, 1)), capacity_(std::max<std::size_t>(capacity, 1)) {}

OverLimitRejector::~OverLimitRejector() {
    Stop();
}

bool OverLimitRejector::Start() {
    if (thread_.joinable()) return false;
    pollDescriptor_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeDescriptor_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wakeDescriptor_;
    if (pollDescriptor_ < 0 || wakeDescriptor_ < 0 ||
        ::epoll_ctl(pollDescriptor_, EPOLL_CTL_ADD, wakeDescriptor_, &wake) != 0) {
        LogFailure("Connections over the limit cannot be answered: no event descriptors");
        Stop();
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void OverLimitRejector::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        arriving_.clear();
    }
    if (thread_.joinable()) {
        Signal(wakeDescriptor_);
        thread_.join();
    }
    std::lock_guard lock(mutex_);  // Add looks at the wake descriptor
    if (pollDescriptor_ >= 0) ::close(pollDescriptor_);
    if (wakeDescriptor_ >= 0) ::close(wakeDescriptor_);
    pollDescriptor_ = wakeDescriptor_ = -1;
}

void OverLimitRejector::Add(SocketHandle connection) {
    std::lock_guard lock(mutex_);
    if (stopping_ || wakeDescriptor_ < 0) return;  // the connection closes here
    arriving_.push_back(std::move(connection));
    Signal(wakeDescriptor_);
}

void OverLimitRejector::Run() {
    epoll_event events[kEventsPerWait];
    while (true) {
        int ready = ::epoll_wait(pollDescriptor_, events, kEventsPerWait, MillisecondsToNextDeadline());
        if (ready < 0 && errno != EINTR) {
            LogFailure("Connections over the limit can no longer be answered: the event wait failed");
            std::lock_guard lock(mutex_);
            stopping_ = true;  // later connections are closed as they come
            arriving_.clear();
            break;
        }
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.fd == wakeDescriptor_) {
                TakeNewConnections();
                continue;
            }
            auto found = bySocket_.find(events[i].data.fd);
            if (found != bySocket_.end()) Serve(found->second);
        }
        DropExpired();
        std::lock_guard lock(mutex_);
        if (stopping_) break;
    }
    bySocket_.clear();
    waiting_.clear();  // closes what still waits
}

void OverLimitRejector::TakeNewConnections() {
    uint64_t count = 0;
    if (::read(wakeDescriptor_, &count, sizeof count) < 0) {
        // Nothing was signalled since the last read.
    }
    std::vector<SocketHandle> arrived;
    {
        std::lock_guard lock(mutex_);
        arrived.swap(arriving_);
    }
    for (SocketHandle& connection : arrived) Register(std::move(connection));
}

void OverLimitRejector::Register(SocketHandle connection) {
    if (!connection.Valid() || !MakeNonBlocking(connection.Get())) return;
    if (waiting_.size() >= capacity_) {
        LogFailure("Too many connections over the limit wait: the oldest is closed unanswered");
        Drop(waiting_.begin());
    }
    int socket = connection.Get();
    Waiting& added = waiting_.emplace_back();
    added.socket = std::move(connection);
    added.descriptor = socket;
    added.deadline = Clock::now() + wait_;
    epoll_event watch{};
    watch.events = EPOLLIN | EPOLLRDHUP;
    watch.data.fd = socket;
    if (::epoll_ctl(pollDescriptor_, EPOLL_CTL_ADD, socket, &watch) != 0) {
        waiting_.pop_back();
        return;
    }
    bySocket_[socket] = std::prev(waiting_.end());
    // The request may be in already; epoll reports it too, but reading now saves a round.
    Serve(std::prev(waiting_.end()));
}

void OverLimitRejector::Serve(Entry entry) {
    if (!ReadAvailable(*entry)) Drop(entry);
}

bool OverLimitRejector::ReadAvailable(Waiting& waiting) {
    uint8_t chunk[4096];
    while (true) {
        ssize_t got = ::recv(waiting.socket.Get(), chunk, sizeof chunk, 0);
        if (got > 0) {
            if (!Consume(waiting, chunk, static_cast<std::size_t>(got))) return false;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);  // 0: the peer closed
    }
}

bool OverLimitRejector::Consume(Waiting& waiting, const uint8_t* bytes, std::size_t count) {
    while (count > 0 && !waiting.answered) {
        if (waiting.headerRead < kPduHeaderLength) {
            std::size_t n = std::min(count, kPduHeaderLength - waiting.headerRead);
            std::copy_n(bytes, n, waiting.header + waiting.headerRead);
            waiting.headerRead += n;
            bytes += n;
            count -= n;
            if (waiting.headerRead < kPduHeaderLength) return true;
            waiting.bodyLeft = BigEndian32(waiting.header + 2);
            // Only a request is answered, and only one that could be one.
            if (waiting.header[0] != pdu_type::kAssociateRQ || waiting.bodyLeft < kAssociateFixedLength ||
                waiting.bodyLeft > kMaxPduLength)
                return false;
        }
        std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(count, waiting.bodyLeft));
        waiting.bodyLeft -= n;
        bytes += n;
        count -= n;
        if (waiting.bodyLeft == 0 && !Answer(waiting)) return false;
    }
    return true;  // anything after the answer is dropped
}

bool OverLimitRejector::Answer(Waiting& waiting) {
    AssociateRJ reject;
    reject.result = rejection_.result;
    reject.source = rejection_.source;
    reject.reason = rejection_.reason;
    PduBuffer sender;
    sender.SetWriteOrder(kBigEndian);  // PDUs travel big-endian
    sender.Transport().Adopt(std::move(waiting.socket));
    bool sent = reject.Write(sender);
    waiting.socket = sender.Transport().TakeConnection();
    if (!sent || !waiting.socket.Valid()) return false;
    FinishSending(waiting.socket.Get());
    waiting.answered = true;
    waiting.deadline = Clock::now() + kCloseGrace;
    return true;
}

void OverLimitRejector::Drop(Entry entry) {
    if (entry->socket.Valid()) ::epoll_ctl(pollDescriptor_, EPOLL_CTL_DEL, entry->descriptor, nullptr);
    bySocket_.erase(entry->descriptor);
    waiting_.erase(entry);  // closes the connection
}

void OverLimitRejector::DropExpired() {
    const Clock::time_point now = Clock::now();
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        auto next = std::next(it);
        if (it->deadline <= now) {
            if (!it->answered)
                LogFailure("A connection over the limit sent no association request in " +
                           std::to_string(wait_.count()) + " s: closed");
            Drop(it);
        }
        it = next;
    }
}

int OverLimitRejector::MillisecondsToNextDeadline() const {
    if (waiting_.empty()) return -1;
    Clock::time_point nearest = waiting_.front().deadline;
    for (const Waiting& waiting : waiting_) nearest = std::min(nearest, waiting.deadline);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left + 1, 0, 60'000));
}

}  // namespace pella
