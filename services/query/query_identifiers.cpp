#include "services/query/query_identifiers.h"

#include <algorithm>
#include <span>
#include <vector>

namespace pella {

namespace {

struct Key {
    uint16_t group;
    uint16_t element;
    const char* vr;
    int position;  // the record field giving the value; -1: no value
};

uint32_t TagOf(uint16_t group, uint16_t element) { return (uint32_t{group} << 16) | element; }

// The worklist identifier, in order; positions of the worklist record.
constexpr Key kWorklistKeys[] = {
    {0x0008, 0x0050, "SH", 4},  {0x0010, 0x0010, "PN", 0},  {0x0010, 0x0020, "LO", 1},
    {0x0010, 0x0030, "DA", 2},  {0x0010, 0x0040, "CS", 3},  {0x0010, 0x2110, "LO", -1},
    {0x0020, 0x000D, "UI", 8},  {0x0032, 0x1032, "PN", 5},  {0x0032, 0x1060, "LO", 9},
};
constexpr Key kStepKeys[] = {
    {0x0008, 0x0060, "CS", 12}, {0x0032, 0x1070, "LO", -1}, {0x0040, 0x0001, "AE", -1},
    {0x0040, 0x0002, "DA", 11}, {0x0040, 0x0003, "TM", 10}, {0x0040, 0x0006, "PN", 14},
    {0x0040, 0x0007, "LO", 17}, {0x0040, 0x0009, "SH", 16}, {0x0040, 0x0010, "SH", 18},
    {0x0040, 0x0011, "SH", 19}, {0x0040, 0x0012, "LO", 20},
};
constexpr Key kTrailingKeys[] = {{0x0040, 0x1001, "SH", -1}, {0x0040, 0x1003, "SH", -1}};

void AddKeys(ElementList& identifier, const void* record, std::span<const Key> keys) {
    for (const Key& key : keys) {
        std::string value =
            key.position < 0 ? "" : QueryFieldText(record, QueryLevel::Worklist, key.position);
        AddQueryKey(identifier, value, key.group, key.element, key.vr);
    }
}

}  // namespace

void AddQueryKey(ElementList& identifier, const std::string& value, uint16_t group,
                 uint16_t element, const char* vr) {
    std::string padded = value;
    if (padded.size() % 2 != 0) padded.push_back(VrIs(vr, "UI") ? '\0' : ' ');
    identifier.Append(NewElement(group, element, static_cast<int32_t>(padded.size()),
                                 padded.empty() ? nullptr : padded.data(), vr));
}

void BuildLevelIdentifier(QueryLevel level, const void* record, ElementList& identifier) {
    std::vector<Key> keys;
    auto fields = QueryFields(level);
    for (std::size_t i = 0; i < fields.size(); ++i)
        keys.push_back({fields[i].group, fields[i].element, fields[i].vr, int(i)});
    keys.push_back({0x0008, 0x0052, "CS", -1});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return TagOf(a.group, a.element) < TagOf(b.group, b.element);
    });
    for (const Key& key : keys) {
        std::string value = key.position < 0 ? LevelText(level)
                                             : QueryFieldText(record, level, key.position);
        AddQueryKey(identifier, value, key.group, key.element, key.vr);
    }
}

void BuildStudyIdentifier(const void* record, ElementList& identifier) {
    BuildLevelIdentifier(QueryLevel::Study, record, identifier);
}
void BuildSeriesIdentifier(const void* record, ElementList& identifier) {
    BuildLevelIdentifier(QueryLevel::Series, record, identifier);
}
void BuildImageIdentifier(const void* record, ElementList& identifier) {
    BuildLevelIdentifier(QueryLevel::Image, record, identifier);
}

void BuildWorklistIdentifier(const void* record, ElementList& identifier) {
    AddKeys(identifier, record, kWorklistKeys);
    identifier.Append(NewElement(0x0040, 0x0100, kUndefinedLength, nullptr, "SQ"));
    identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    AddKeys(identifier, record, kStepKeys);
    identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    AddKeys(identifier, record, kTrailingKeys);
}

}  // namespace pella
