// The disk bounds of a receiving server: how large one object may grow and how much free space
// must stay on the storage folder's file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pella {

// Bytes an unprivileged process may still write on the file system holding `folder`; empty
// when the system cannot tell.
std::optional<uint64_t> AvailableBytes(const std::string& folder);

// Watches one object's reception: its size against the per-object limit and, every few MiB
// written, the file system's free space against the reserve.
class ReceptionBounds {
public:
    ReceptionBounds(std::string folder, uint64_t maxObjectBytes, uint64_t minFreeBytes);

    // True while the reserve holds now (also when the system cannot tell).
    bool ReserveHolds();

    // Counts `size` more bytes of the object; false (the reason logged) once the object is
    // larger than its limit or the free space has fallen under the reserve.
    bool Allow(std::size_t size);

private:
    static constexpr uint64_t kCheckInterval = 4 * 1024 * 1024;

    std::string folder_;
    uint64_t maxObjectBytes_;
    uint64_t minFreeBytes_;
    uint64_t received_ = 0;
    uint64_t nextCheck_ = kCheckInterval;
};

}  // namespace pella
