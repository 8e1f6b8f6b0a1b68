#include "support/stream_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace pella_fuzz {

StreamPeer::StreamPeer(const uint8_t* data, std::size_t size) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
    connection_ = pella::SocketHandle(ends[0]);
    peer_ = ends[1];
    thread_ = std::thread([this, data, size] { Play(data, size); });
}

StreamPeer::~StreamPeer() {
    connection_.Reset();  // in case the code under test never took it
    if (thread_.joinable()) thread_.join();
    if (peer_ >= 0) ::close(peer_);
}

pella::SocketHandle StreamPeer::TakeConnection() {
    return std::move(connection_);
}

void StreamPeer::Play(const uint8_t* data, std::size_t size) {
    std::size_t sent = 0;
    uint8_t scratch[16384];
    bool writing = true;
    while (true) {
        if (writing && sent == size) {
            ::shutdown(peer_, SHUT_WR);
            writing = false;
        }
        pollfd watch{peer_, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (::poll(&watch, 1, -1) < 0) return;
        if (watch.revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = ::recv(peer_, scratch, sizeof scratch, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;  // the other end closed
        }
        if (writing && (watch.revents & POLLOUT)) {
            ssize_t n = ::send(peer_, data + sent, size - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0)
                sent += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                writing = false;
        }
    }
}

}  // namespace pella_fuzz
