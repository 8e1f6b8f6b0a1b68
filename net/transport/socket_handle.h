// Owns one socket descriptor and closes it when it goes out of scope.
#pragma once

#include <utility>

namespace pella {

class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(int descriptor) : descriptor_(descriptor) {}
    ~SocketHandle() { Reset(); }
    SocketHandle(SocketHandle&& other) noexcept : descriptor_(other.Release()) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    bool Valid() const { return descriptor_ >= 0; }
    int Get() const { return descriptor_; }

    // Gives up ownership without closing.
    int Release() { return std::exchange(descriptor_, -1); }

    // Shuts both directions down, closes, and takes `descriptor` instead (none by default).
    void Reset(int descriptor = -1) noexcept;

private:
    int descriptor_ = -1;
};

}  // namespace pella
