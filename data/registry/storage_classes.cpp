#include "data/registry/storage_classes.h"

#include <algorithm>

namespace pella {

const StorageClassEntry* FindStorageClass(std::string_view uid) {
    std::span<const StorageClassEntry> table = StorageClassTable();
    auto at = std::lower_bound(table.begin(), table.end(), uid,
                               [](const StorageClassEntry& e, std::string_view key) { return std::string_view(e.uid) < key; });
    return at != table.end() && at->uid == uid ? &*at : nullptr;
}

}  // namespace pella
