#include "services/query/query_identifiers.h"

#include <algorithm>
#include <vector>

#include "services/query/query_character_set.h"

namespace pella {

namespace {

struct Key {
    uint32_t tag;
    const char* vr;
    std::string value;
};

constexpr uint32_t kStepSequenceTag = (uint32_t{kStepSequenceGroup} << 16) | kStepSequenceElement;

uint32_t TagOf(uint16_t group, uint16_t element) {
    return (uint32_t{group} << 16) | element;
}

// The record's keys at one place (top level or step item), in ascending tag order.
std::vector<Key> KeysAt(QueryLevel level, const void* record, bool inStep) {
    std::vector<Key> keys;
    auto fields = QueryFields(level);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QueryField& f = fields[i];
        if (f.group == 0 || f.inStep != inStep) continue;
        keys.push_back({TagOf(f.group, f.element), f.vr, QueryFieldText(record, level, int(i))});
    }
    return keys;
}

void SortByTag(std::vector<Key>& keys) {
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.tag < b.tag; });
}

void AddKey(ElementList& identifier, const Key& key) {
    AddQueryKey(identifier, key.value, uint16_t(key.tag >> 16), uint16_t(key.tag), key.vr);
}

// The step sequence with its one item, in the flat form of undefined lengths.
void AddStepSequence(ElementList& identifier, const std::vector<Key>& stepKeys) {
    identifier.Append(NewElement(kStepSequenceGroup, kStepSequenceElement, kUndefinedLength, nullptr, "SQ"));
    identifier.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    for (const Key& key : stepKeys) AddKey(identifier, key);
    identifier.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    identifier.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

const char* CharacterSetOf(const std::vector<Key>& top, const std::vector<Key>& step) {
    std::vector<std::string> values;
    for (const auto* keys : {&top, &step})
        for (const Key& key : *keys) values.push_back(key.value);
    return CharacterSetOfKeys(values);
}

}  // namespace

void AddQueryKey(ElementList& identifier, const std::string& value, uint16_t group, uint16_t element,
                 const char* vr) {
    std::string padded = value;
    if (padded.size() % 2 != 0) padded.push_back(VrIs(vr, "UI") ? '\0' : ' ');
    identifier.Append(NewElement(group, element, static_cast<int32_t>(padded.size()),
                                 padded.empty() ? nullptr : padded.data(), vr));
}

void BuildIdentifier(QueryLevel level, const void* record, ElementList& identifier) {
    std::vector<Key> top = KeysAt(level, record, false);
    std::vector<Key> step = KeysAt(level, record, true);
    if (level != QueryLevel::Worklist) top.push_back({0x00080052, "CS", LevelText(level)});
    if (const char* set = CharacterSetOf(top, step)) top.push_back({0x00080005, "CS", set});
    SortByTag(top);
    SortByTag(step);
    bool stepAdded = step.empty();
    for (const Key& key : top) {
        if (!stepAdded && key.tag > kStepSequenceTag) {
            AddStepSequence(identifier, step);
            stepAdded = true;
        }
        AddKey(identifier, key);
    }
    if (!stepAdded) AddStepSequence(identifier, step);
}

}  // namespace pella
