#include "data/registry/confidentiality_profile.h"

#include <algorithm>

namespace pella {

namespace {

bool IsExact(const ProfileRow& row) {
    return row.groupMask == 0xFFFF && row.elementMask == 0xFFFF;
}

uint32_t TagKey(uint16_t group, uint16_t element) {
    return (static_cast<uint32_t>(group) << 16) | element;
}

}  // namespace

const ProfileRow* FindProfileRow(uint16_t group, uint16_t element) {
    std::span<const ProfileRow> rows = ProfileRows();
    auto exactEnd = std::partition_point(rows.begin(), rows.end(), IsExact);
    uint32_t key = TagKey(group, element);
    auto found = std::lower_bound(rows.begin(), exactEnd, key, [](const ProfileRow& row, uint32_t wanted) {
        return TagKey(row.group, row.element) < wanted;
    });
    if (found != exactEnd && TagKey(found->group, found->element) == key) return &*found;
    for (auto it = exactEnd; it != rows.end(); ++it) {
        if ((group & it->groupMask) == it->group && (element & it->elementMask) == it->element) return &*it;
    }
    return nullptr;
}

}  // namespace pella
