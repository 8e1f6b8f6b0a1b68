#include "data/dictionary/dictionary.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

namespace pella {

namespace {

bool Before(const DictionaryEntry& entry, uint32_t tag) {
    return ((uint32_t{entry.group} << 16) | entry.element) < tag;
}

void CopyVR(DataElement& element, const DictionaryEntry& entry) {
    std::memcpy(element.vr, entry.vr, sizeof element.vr);
}

bool IsRetired(const DictionaryEntry& entry) {
    return std::string_view(entry.name).ends_with("(RET)");
}

// Every keyword with its entry, sorted by keyword; built once.
using KeywordIndex = std::vector<std::pair<std::string, const DictionaryEntry*>>;

KeywordIndex BuildKeywordIndex() {
    KeywordIndex index;
    for (const DictionaryEntry& entry : DictionaryTable()) index.emplace_back(KeywordOf(entry.name), &entry);
    // Among equal keywords, current before retired, then table (tag) order.
    std::stable_sort(index.begin(), index.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return !IsRetired(*a.second) && IsRetired(*b.second);
    });
    return index;
}

}  // namespace

const DictionaryEntry* FindDictionaryEntryByKeyword(std::string_view keyword) {
    static const KeywordIndex index = BuildKeywordIndex();
    auto found = std::lower_bound(index.begin(), index.end(), keyword,
                                  [](const auto& item, std::string_view key) { return item.first < key; });
    if (found == index.end() || found->first != keyword) return nullptr;
    return found->second;
}

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

std::string KeywordOf(std::string_view name) {
    constexpr std::string_view kRetired = "(RET)";
    if (name.ends_with(kRetired)) name.remove_suffix(kRetired.size());
    std::string keyword;
    bool wordStart = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '\'' && i + 1 < name.size() && name[i + 1] == 's') {
            ++i;  // a possessive "'s" is no part of the keyword
            continue;
        }
        if (name.substr(i, 3) == "(s)") {
            keyword.push_back('s');  // "Focal Spot(s)" -> "FocalSpots"
            i += 2;
            continue;
        }
        if (!std::isalnum(c)) {
            wordStart = true;
            continue;
        }
        keyword.push_back(wordStart ? static_cast<char>(std::toupper(c)) : static_cast<char>(c));
        wordStart = false;
    }
    return keyword;
}

}  // namespace pella
