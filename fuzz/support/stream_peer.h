// The peer's end of a local socket pair, played by a thread: it sends the given bytes, then ends
// its sending side, and reads (and drops) whatever the other end sends until that end closes.
// The other end goes to the code under test as its connection. Nothing waits on a clock: once
// the bytes are taken, the reader under test meets the end of the stream at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "net/transport/socket_handle.h"

namespace pella_fuzz {

class StreamPeer {
public:
    StreamPeer(const uint8_t* data, std::size_t size);
    ~StreamPeer();  // waits for the thread: call after the code under test closed its end
    StreamPeer(const StreamPeer&) = delete;
    StreamPeer& operator=(const StreamPeer&) = delete;

    // The end for the code under test (once; invalid when the pair could not be made).
    pella::SocketHandle TakeConnection();

private:
    void Play(const uint8_t* data, std::size_t size);

    int peer_ = -1;
    pella::SocketHandle connection_;
    std::thread thread_;
};

}  // namespace pella_fuzz
