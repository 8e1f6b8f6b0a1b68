#include "data/edit/element_edits.h"

#include <cstring>
#include <functional>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/edit/flat_levels.h"
#include "data/edit/text_values.h"

namespace pella {

namespace {

struct Walk {
    ElementList& list;
    const TagPath& path;
    std::string& error;
};

std::string Where(const Walk& walk, std::size_t step) {
    const PathStep& s = walk.path.steps[step];
    return TagText(s.group, s.element);
}

bool Fail(Walk& walk, const std::string& reason) {
    walk.error = reason;
    return false;
}

// The VR a new value is encoded by: the element's own when it is one of the standard's and not
// UN, else the dictionary's.
bool ValueVR(const DataElement* existing, uint16_t group, uint16_t element, char vr[4]) {
    std::memset(vr, 0, 4);
    if (existing != nullptr && IsKnownVR(existing->vr) && !VrIs(existing->vr, "UN")) {
        std::memcpy(vr, existing->vr, 2);
        return true;
    }
    const DictionaryEntry* entry = FindDictionaryEntry(group, element);
    if (entry == nullptr || VrIs(entry->vr, "UN") || !IsKnownVR(entry->vr)) return false;
    std::memcpy(vr, entry->vr, 2);
    return true;
}

bool IsStructural(uint16_t group) {
    return group == 0xFFFE;
}

// The last step: set or insert the element in `level`.
bool SetInLevel(Walk& walk, Level level, std::string_view text, SetMode mode, bool bigEndian) {
    std::size_t last = walk.path.steps.size() - 1;
    const PathStep& step = walk.path.steps[last];
    std::optional<std::size_t> found = FindInLevel(walk.list, level, step.group, step.element);
    if (!found && mode == SetMode::Modify) return Fail(walk, Where(walk, last) + " is not there to modify");
    DataElement* existing = found ? &walk.list[*found] : nullptr;
    if (existing != nullptr && existing->length == kUndefinedLength)
        return Fail(walk, Where(walk, last) + " is a sequence or encapsulated data and takes no text value");
    char vr[4];
    if (!ValueVR(existing, step.group, step.element, vr))
        return Fail(walk, "the VR of " + Where(walk, last) + " is not known, so its value cannot be encoded");
    if (VrIs(vr, "SQ")) return Fail(walk, Where(walk, last) + " is a sequence and takes no text value");
    std::vector<uint8_t> bytes;
    std::string why;
    if (!EncodeTextValue(vr, text, bigEndian, bytes, why)) return Fail(walk, Where(walk, last) + ": " + why);
    ElementPtr made =
        NewElement(step.group, step.element, static_cast<int32_t>(bytes.size()), bytes.data(), vr);
    if (found) {
        walk.list.items[*found] = std::move(made);
    } else {
        std::size_t at = InsertPosition(walk.list, level, step.group, step.element);
        walk.list.items.insert(walk.list.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(made));
    }
    return true;
}

// Inserts an empty sequence (element and delimiter) in `level`; its index.
std::size_t InsertSequence(ElementList& list, Level level, uint16_t group, uint16_t element) {
    std::size_t at = InsertPosition(list, level, group, element);
    auto it = list.items.begin() + static_cast<std::ptrdiff_t>(at);
    it = list.items.insert(it, NewElement(group, element, kUndefinedLength, nullptr, "SQ"));
    list.items.insert(it + 1, NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
    return at;
}

// Appends an empty item to the sequence at `index`; the item's (empty) contents.
Level AppendItem(ElementList& list, std::size_t index) {
    std::size_t at = ExtentEnd(list, index) - 1;  // the sequence's delimiter
    auto it = list.items.begin() + static_cast<std::ptrdiff_t>(at);
    it = list.items.insert(it, NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
    list.items.insert(it + 1, NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    return {at + 1, at + 1};
}

bool SetAt(Walk& walk, Level level, std::size_t stepIndex, std::string_view text, SetMode mode,
           bool bigEndian) {
    if (stepIndex + 1 == walk.path.steps.size()) return SetInLevel(walk, level, text, mode, bigEndian);
    const PathStep& step = walk.path.steps[stepIndex];
    std::optional<std::size_t> found = FindInLevel(walk.list, level, step.group, step.element);
    if (!found) {
        const DictionaryEntry* entry = FindDictionaryEntry(step.group, step.element);
        if (mode == SetMode::Modify || step.allItems)
            return Fail(walk, "the sequence " + Where(walk, stepIndex) + " is not there");
        if (entry == nullptr || !VrIs(entry->vr, "SQ"))
            return Fail(walk, Where(walk, stepIndex) + " is not a sequence");
        found = InsertSequence(walk.list, level, step.group, step.element);
    }
    if (!IsOpenSequence(walk.list[*found])) return Fail(walk, Where(walk, stepIndex) + " is not a sequence");
    std::vector<Level> items = ItemsOf(walk.list, *found);
    if (step.allItems) {
        if (items.empty()) return Fail(walk, "the sequence " + Where(walk, stepIndex) + " has no items");
        // Last item first: edits there do not move the items in front of it.
        for (auto item = items.rbegin(); item != items.rend(); ++item)
            if (!SetAt(walk, *item, stepIndex + 1, text, mode, bigEndian)) return false;
        return true;
    }
    if (step.item < items.size()) return SetAt(walk, items[step.item], stepIndex + 1, text, mode, bigEndian);
    if (step.item == items.size() && mode == SetMode::Insert)
        return SetAt(walk, AppendItem(walk.list, *found), stepIndex + 1, text, mode, bigEndian);
    return Fail(walk, "item " + std::to_string(step.item) + " of " + Where(walk, stepIndex) +
                          " does not exist (it has " + std::to_string(items.size()) + ")");
}

long EraseAt(Walk& walk, Level level, std::size_t stepIndex) {
    const PathStep& step = walk.path.steps[stepIndex];
    std::optional<std::size_t> found = FindInLevel(walk.list, level, step.group, step.element);
    if (!found) return 0;
    if (stepIndex + 1 == walk.path.steps.size()) {
        auto first = walk.list.items.begin() + static_cast<std::ptrdiff_t>(*found);
        walk.list.items.erase(
            first, walk.list.items.begin() + static_cast<std::ptrdiff_t>(ExtentEnd(walk.list, *found)));
        return 1;
    }
    if (!IsOpenSequence(walk.list[*found])) {
        Fail(walk, Where(walk, stepIndex) + " is not a sequence");
        return -1;
    }
    std::vector<Level> items = ItemsOf(walk.list, *found);
    if (step.allItems) {
        long erased = 0;
        for (auto item = items.rbegin(); item != items.rend(); ++item) {
            long count = EraseAt(walk, *item, stepIndex + 1);
            if (count < 0) return -1;
            erased += count;
        }
        return erased;
    }
    if (step.item >= items.size()) {
        Fail(walk, "item " + std::to_string(step.item) + " of " + Where(walk, stepIndex) +
                       " does not exist (it has " + std::to_string(items.size()) + ")");
        return -1;
    }
    return EraseAt(walk, items[step.item], stepIndex + 1);
}

bool PathTouchesStructure(const TagPath& path, std::string& error) {
    for (const PathStep& step : path.steps) {
        if (IsStructural(step.group)) {
            error = TagText(step.group, step.element) + " is an item or delimiter, not an attribute";
            return true;
        }
    }
    if (path.steps.empty()) {
        error = "the path is empty";
        return true;
    }
    return false;
}

// Runs `edit` on the list; when it fails, the top-level element the path begins with is put back
// as it was (or removed, when the edit made it), so that nothing else is touched.
template <typename Result>
Result AllOrNothing(ElementList& list, const PathStep& first, Result failure,
                    const std::function<Result()>& edit) {
    std::optional<std::size_t> at = FindInLevel(list, WholeList(list), first.group, first.element);
    ElementList saved;
    if (at) {
        std::size_t end = ExtentEnd(list, *at);
        for (std::size_t i = *at; i < end; ++i) {
            const DataElement& e = list[i];
            saved.Append(NewElement(e.group, e.element, e.length, e.value, e.vr));
        }
    }
    Result result = edit();
    if (result != failure) return result;
    std::optional<std::size_t> now = FindInLevel(list, WholeList(list), first.group, first.element);
    std::size_t begin = now ? *now : InsertPosition(list, WholeList(list), first.group, first.element);
    std::size_t end = now ? ExtentEnd(list, *now) : begin;
    auto it = list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(begin),
                               list.items.begin() + static_cast<std::ptrdiff_t>(end));
    list.items.insert(it, std::make_move_iterator(saved.items.begin()),
                      std::make_move_iterator(saved.items.end()));
    return result;
}

}  // namespace

bool SetElementByPath(ElementList& list, const TagPath& path, std::string_view text, SetMode mode,
                      bool bigEndian, std::string& error) {
    if (PathTouchesStructure(path, error)) return false;
    Walk walk{list, path, error};
    if (path.steps.size() == 1) return SetAt(walk, WholeList(list), 0, text, mode, bigEndian);
    return AllOrNothing<bool>(list, path.steps[0], false,
                              [&] { return SetAt(walk, WholeList(list), 0, text, mode, bigEndian); });
}

long EraseElementByPath(ElementList& list, const TagPath& path, std::string& error) {
    if (PathTouchesStructure(path, error)) return -1;
    Walk walk{list, path, error};
    if (path.steps.size() == 1) return EraseAt(walk, WholeList(list), 0);
    return AllOrNothing<long>(list, path.steps[0], -1L, [&] { return EraseAt(walk, WholeList(list), 0); });
}

std::size_t EraseEverywhere(ElementList& list, uint16_t group, uint16_t element) {
    if (IsStructural(group)) return 0;
    std::size_t erased = 0;
    for (std::size_t at = 0; at < list.size();) {
        if (list[at].group == group && list[at].element == element) {
            list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(at),
                             list.items.begin() + static_cast<std::ptrdiff_t>(ExtentEnd(list, at)));
            ++erased;
        } else {
            ++at;
        }
    }
    return erased;
}

}  // namespace pella
