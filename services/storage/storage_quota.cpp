#include "services/storage/storage_quota.h"

#include <filesystem>
#include <system_error>

namespace pella {

bool StorageQuota::Reserve(uint64_t bytes) {
    uint64_t used = used_.load();
    do {
        if (bytes > limit_ || used > limit_ - bytes) return false;
    } while (!used_.compare_exchange_weak(used, used + bytes));
    return true;
}

void StorageQuota::Release(uint64_t bytes) {
    uint64_t used = used_.load();
    while (!used_.compare_exchange_weak(used, used >= bytes ? used - bytes : 0)) {
    }
}

uint64_t MeasureStoredBytes(const std::string& storageFolder) {
    namespace fs = std::filesystem;
    uint64_t total = 0;
    std::error_code error;
    fs::recursive_directory_iterator entries(storageFolder, fs::directory_options::skip_permission_denied,
                                             error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        std::string name = entry.path().filename().string();
        if (entry.is_directory(error) && !name.empty() && name[0] == '.') {
            entries.disable_recursion_pending();  // .incoming and other staging folders
            continue;
        }
        if (entry.path().extension() != ".dcm" || !entry.is_regular_file(error)) continue;
        uint64_t size = entry.file_size(error);
        if (!error) total += size;
        error.clear();
    }
    return total;
}

}  // namespace pella
