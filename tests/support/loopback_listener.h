// A listening TCP socket on 127.0.0.1 at a port the system chose, closed when the object goes
// away; the base of the test peers and of FreePort.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

class LoopbackListener {
public:
    LoopbackListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) return;
        int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackListener() {
        if (fd_ >= 0) ::close(fd_);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool Listening() const { return fd_ >= 0; }
    // The port, or -1 when the socket could not be set up.
    int Port() const { return port_; }

    // The next connection, waiting at most `timeoutMs`; -1 when none came.
    int Accept(int timeoutMs) const {
        if (fd_ < 0) return -1;
        pollfd watch{fd_, POLLIN, 0};
        if (::poll(&watch, 1, timeoutMs) <= 0) return -1;
        return ::accept(fd_, nullptr, nullptr);
    }

private:
    int fd_ = -1;
    int port_ = -1;
};

// A port nobody listens on right now (chosen by the system, then released); -1 on failure.
inline int FreePort() {
    return LoopbackListener().Port();
}

}  // namespace testing_support
