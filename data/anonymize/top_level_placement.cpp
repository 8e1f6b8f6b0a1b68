#include "data/anonymize/top_level_placement.h"

#include <cstdint>
#include <iterator>

namespace pella {

namespace {

uint32_t TagOf(const DataElement& e) {
    return (static_cast<uint32_t>(e.group) << 16) | e.element;
}

bool Opens(const DataElement& e) {
    return e.length == kUndefinedLength &&
           !(e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD));
}

bool Closes(const DataElement& e) {
    return e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
}

// The index after the attribute starting at `start`: past its closing delimiter when it opens.
std::size_t EndOfAttribute(const ElementList& list, std::size_t start) {
    int depth = 0;
    std::size_t i = start;
    do {
        if (Opens(list[i])) ++depth;
        if (Closes(list[i])) --depth;
        ++i;
    } while (i < list.size() && depth > 0);
    return i;
}

}  // namespace

void PlaceAtTopLevel(ElementList& list, std::vector<ElementPtr> run) {
    if (run.empty()) return;
    uint32_t tag = TagOf(*run.front());
    std::size_t i = 0;
    while (i < list.size() && TagOf(list[i]) < tag) i = EndOfAttribute(list, i);
    if (i < list.size() && TagOf(list[i]) == tag) {
        std::size_t end = EndOfAttribute(list, i);
        list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(i),
                         list.items.begin() + static_cast<std::ptrdiff_t>(end));
    }
    list.items.insert(list.items.begin() + static_cast<std::ptrdiff_t>(i),
                      std::make_move_iterator(run.begin()), std::make_move_iterator(run.end()));
}

}  // namespace pella
