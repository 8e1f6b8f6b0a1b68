// A PduBuffer whose transport is one end of a local socket pair; the test plays the peer on the
// other end, feeding bytes to the reader and collecting what the writer sent.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "net/pdu/pdu_buffer.h"

namespace testing_support {

class PduPipe {
public:
    explicit PduPipe(int timeoutSeconds = 1) : buffer(timeoutSeconds) {
        int ends[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0) {
            buffer.Transport().Adopt(pella::SocketHandle(ends[0]));
            peer_ = ends[1];
        }
        buffer.SetReadOrder(pella::kBigEndian);
        buffer.SetWriteOrder(pella::kBigEndian);
    }
    ~PduPipe() {
        if (peer_ >= 0) ::close(peer_);
    }
    PduPipe(const PduPipe&) = delete;
    PduPipe& operator=(const PduPipe&) = delete;

    // Sends bytes from the peer's side (keep it below the socket buffer: nobody reads yet).
    void Feed(const std::vector<uint8_t>& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(peer_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }
    // The peer stops sending: reads past what was fed fail at once instead of waiting.
    void EndFeed() { ::shutdown(peer_, SHUT_WR); }

    // Everything the buffer has sent so far.
    std::vector<uint8_t> Sent() {
        std::vector<uint8_t> all;
        uint8_t chunk[4096];
        ssize_t n;
        while ((n = ::recv(peer_, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
            all.insert(all.end(), chunk, chunk + n);
        return all;
    }

    int PeerSocket() const { return peer_; }

    pella::PduBuffer buffer;

private:
    int peer_ = -1;
};

}  // namespace testing_support
