// A raw POSIX TCP peer on 127.0.0.1 and a free port, for tests of the network code. It accepts up
// to `connections` connections one after another on its own thread and runs the handler on each;
// the destructor stops it and waits for the thread.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

namespace testing_support {

class LoopbackPeer {
public:
    // The handler gets the accepted socket and the flag that is set when the peer is stopped.
    using Handler = std::function<void(int socket, const std::atomic<bool>& stop)>;

    explicit LoopbackPeer(Handler handler, int connections = 1) : handler_(std::move(handler)) {
        if (!listener_.Listening()) return;
        port_ = static_cast<uint16_t>(listener_.Port());
        thread_ = std::thread([this, connections] { Serve(connections); });
    }
    ~LoopbackPeer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
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
            int socket = listener_.Accept(100);
            if (socket < 0) continue;
            ++served;
            handler_(socket, stop_);
            ::close(socket);
        }
    }

    Handler handler_;
    LoopbackListener listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace testing_support
