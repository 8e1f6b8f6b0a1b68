// The storage SOP classes of the standard (generated from its UID registry): the classes a
// storage server accepts by default.
#pragma once

#include <span>
#include <string_view>

namespace pella {

struct StorageClassEntry {
    const char* uid;
    const char* name;  // the standard's name; retired classes end in " (RET)"
};

// Every storage class, sorted by UID text.
std::span<const StorageClassEntry> StorageClassTable();

// The entry of a storage class, or null for any other UID.
const StorageClassEntry* FindStorageClass(std::string_view uid);

}  // namespace pella
