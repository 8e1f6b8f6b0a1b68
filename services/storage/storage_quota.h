// The storage quota of a server (--max-storage): the bytes of the stored objects, measured once
// when the server starts and then counted as each object is filed, never by walking the folder
// again. Shared by every association at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace pella {

class StorageQuota {
public:
    StorageQuota(uint64_t limitBytes, uint64_t usedBytes) : limit_(limitBytes), used_(usedBytes) {}

    uint64_t Limit() const { return limit_; }
    uint64_t Used() const { return used_.load(); }
    // No object, however small, fits any more.
    bool Full() const { return used_.load() >= limit_; }
    // Counts `bytes` as used when they fit under the limit; false (nothing counted) otherwise.
    bool Reserve(uint64_t bytes);
    // Gives back bytes counted for an object that was not filed after all.
    void Release(uint64_t bytes);

private:
    const uint64_t limit_;
    std::atomic<uint64_t> used_;
};

// The bytes of the stored objects (*.dcm) below a storage folder, staged files left out.
uint64_t MeasureStoredBytes(const std::string& storageFolder);

}  // namespace pella
