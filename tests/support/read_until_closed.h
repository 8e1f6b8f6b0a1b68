// Reads a socket until the other side closes it, for tests that check everything a peer sent.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <vector>

namespace testing_support {

// Everything received until the other side closed; the bytes "(open)" appended when it did not
// close within 20 s of the last bytes.
inline std::vector<uint8_t> ReadUntilClosed(int fd) {
    std::vector<uint8_t> all;
    uint8_t chunk[1024];
    pollfd watch{fd, POLLIN, 0};
    while (::poll(&watch, 1, 20000) > 0) {
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return all;
        all.insert(all.end(), chunk, chunk + n);
    }
    all.insert(all.end(), {'(', 'o', 'p', 'e', 'n', ')'});
    return all;
}

}  // namespace testing_support
