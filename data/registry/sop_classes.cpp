#include "data/registry/sop_classes.h"

#include <algorithm>

namespace pella {

const SopClassInfo* FindSopClass(std::string_view uid) {
    std::span<const SopClassInfo> table = SopClasses();
    auto at = std::lower_bound(
        table.begin(), table.end(), uid,
        [](const SopClassInfo& e, std::string_view key) { return std::string_view(e.uid) < key; });
    return at != table.end() && at->uid == uid ? &*at : nullptr;
}

bool IsNonImageSopClass(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr && entry->storage && !entry->pixelData;
}

bool IsStorageSopClass(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr && entry->storage;
}

bool IsServedSopClass(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr && entry->original;
}

bool IsPrintMetaMember(std::string_view metaUid, std::string_view sopClassUid) {
    uint8_t meta = metaUid == kGrayscalePrintMetaSopClass ? print_meta::kGrayscalePrint
                   : metaUid == kColorPrintMetaSopClass   ? print_meta::kColorPrint
                                                          : 0;
    const SopClassInfo* entry = FindSopClass(sopClassUid);
    return meta != 0 && entry != nullptr && (entry->printMeta & meta) != 0;
}

std::string SopClassName(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr ? entry->name : std::string(uid);
}

}  // namespace pella
