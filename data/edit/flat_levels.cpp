#include "data/edit/flat_levels.h"

namespace pella {

namespace {

bool IsClosing(const DataElement& e) {
    return e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
}

bool IsItemStart(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

uint32_t TagOf(uint16_t group, uint16_t element) {
    return (uint32_t{group} << 16) | element;
}

}  // namespace

bool OpensRun(const DataElement& element) {
    return element.length == kUndefinedLength && !IsClosing(element);
}

std::size_t ExtentEnd(const ElementList& list, std::size_t index) {
    if (!OpensRun(list[index])) return index + 1;
    std::size_t depth = 1;
    std::size_t at = index + 1;
    for (; at < list.size() && depth > 0; ++at) {
        if (OpensRun(list[at]))
            ++depth;
        else if (IsClosing(list[at]))
            --depth;
    }
    return at;
}

std::optional<std::size_t> FindInLevel(const ElementList& list, Level level, uint16_t group,
                                       uint16_t element) {
    for (std::size_t at = level.begin; at < level.end; at = ExtentEnd(list, at))
        if (list[at].group == group && list[at].element == element) return at;
    return std::nullopt;
}

std::size_t InsertPosition(const ElementList& list, Level level, uint16_t group, uint16_t element) {
    uint32_t tag = TagOf(group, element);
    for (std::size_t at = level.begin; at < level.end; at = ExtentEnd(list, at))
        if (TagOf(list[at].group, list[at].element) > tag) return at;
    return level.end;
}

bool IsOpenSequence(const DataElement& element) {
    return element.length == kUndefinedLength && VrIs(element.vr, "SQ") && element.group != 0xFFFE;
}

std::vector<Level> ItemsOf(const ElementList& list, std::size_t index) {
    std::vector<Level> items;
    std::size_t end = ExtentEnd(list, index);
    for (std::size_t at = index + 1; at < end;) {
        std::size_t next = ExtentEnd(list, at);
        if (IsItemStart(list[at]) && OpensRun(list[at]) && next - 1 > at) items.push_back({at + 1, next - 1});
        at = next;
    }
    return items;
}

}  // namespace pella
