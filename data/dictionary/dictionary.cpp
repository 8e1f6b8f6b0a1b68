#include "data/dictionary/dictionary.h"

#include <algorithm>
#include <cstring>

namespace pella {

namespace {

bool Before(const DictionaryEntry& entry, uint32_t tag) {
    return ((uint32_t{entry.group} << 16) | entry.element) < tag;
}

void CopyVR(DataElement& element, const DictionaryEntry& entry) {
    std::memcpy(element.vr, entry.vr, sizeof element.vr);
}

}  // namespace

const DictionaryEntry* FindDictionaryEntry(uint16_t group, uint16_t element) {
    std::span<const DictionaryEntry> table = DictionaryTable();
    uint32_t tag = (uint32_t{group} << 16) | element;
    auto found = std::lower_bound(table.begin(), table.end(), tag, Before);
    if (found == table.end() || found->group != group || found->element != element) return nullptr;
    return &*found;
}

void LookupVR(DataElement& element) {
    if (const DictionaryEntry* entry = FindDictionaryEntry(element.group, element.element)) {
        CopyVR(element, *entry);
    } else {
        std::memcpy(element.vr, "UN\0\0", sizeof element.vr);
    }
}

const char* LookupName(DataElement& element, bool keepVR) {
    const DictionaryEntry* entry = FindDictionaryEntry(element.group, element.element);
    if (entry == nullptr) return kUnidentifiedName;
    if (!keepVR) CopyVR(element, *entry);
    return entry->name;
}

}  // namespace pella
