#include "services/storage/storage_space.h"

#include <sys/statvfs.h>

#include "log/protocol_log.h"

namespace pella {

std::optional<uint64_t> AvailableBytes(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

ReceptionBounds::ReceptionBounds(std::string folder, uint64_t maxObjectBytes, uint64_t minFreeBytes)
    : folder_(std::move(folder)), maxObjectBytes_(maxObjectBytes), minFreeBytes_(minFreeBytes) {}

bool ReceptionBounds::ReserveHolds() {
    std::optional<uint64_t> available = AvailableBytes(folder_);
    if (!available || *available >= minFreeBytes_) return true;
    LogFailure("Only " + std::to_string(*available) + " bytes free on the storage folder's file system, " +
               "under the reserve of " + std::to_string(minFreeBytes_));
    return false;
}

bool ReceptionBounds::Allow(std::size_t size) {
    received_ += size;
    if (received_ > maxObjectBytes_) {
        LogFailure("Object larger than the limit of " + std::to_string(maxObjectBytes_) + " bytes");
        return false;
    }
    if (received_ < nextCheck_) return true;
    nextCheck_ = received_ + kCheckInterval;
    return ReserveHolds();
}

}  // namespace pella
