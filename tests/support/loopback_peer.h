// A raw POSIX TCP peer on 127.0.0.1 and a free port, for tests of the network code. It accepts up
// to `connections` connections one after another on its own thread and runs the handler on each;
// the destructor stops it and waits for the thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class LoopbackPeer {
public:
    // The handler gets the accepted socket and the flag that is set when the peer is stopped.
    using Handler = std::function<void(int socket, const std::atomic<bool>& stop)>;

    explicit LoopbackPeer(Handler handler, int connections = 1) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof local;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&local), size) != 0 ||
            ::listen(listener_, 4) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &size) != 0)
            return;
        port_ = ntohs(local.sin_port);
        thread_ = std::thread([this, connections] { Serve(connections); });
    }
    ~LoopbackPeer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }

    // Reads until the other side closes or the peer is stopped; returns what arrived.
    static std::vector<uint8_t> DrainUntilClosed(int socket, const std::atomic<bool>& stop) {
        std::vector<uint8_t> received;
        uint8_t chunk[4096];
        while (!stop) {
            pollfd watch{socket, POLLIN, 0};
            if (::poll(&watch, 1, 100) <= 0) continue;
            ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            received.insert(received.end(), chunk, chunk + n);
        }
        return received;
    }

private:
    void Serve(int connections) {
        for (int served = 0; served < connections && !stop_;) {
            pollfd watch{listener_, POLLIN, 0};
            if (::poll(&watch, 1, 100) <= 0) continue;
            int socket = ::accept(listener_, nullptr, nullptr);
            if (socket < 0) continue;
            ++served;
            handler_(socket, stop_);
            ::close(socket);
        }
    }

    Handler handler_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace testing_support
