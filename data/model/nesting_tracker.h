// Follows the open undefined-length sequences, items and encapsulated pixel data of a flat
// element list, so that a walk knows how deep it is and whether an item is a pixel fragment.
#pragma once

#include <vector>

#include "data/model/element_list.h"

namespace pella {

class NestingTracker {
public:
    // Call after each element of the walk.
    void Observe(const DataElement& element);
    // Nothing open: the next element belongs to the data set itself.
    bool AtTopLevel() const { return open_.empty(); }
    // How many sequences, items and fragment runs are open (an element directly in an item of
    // a top-level sequence is at depth 2).
    std::size_t Depth() const { return open_.size(); }
    // The innermost open element is encapsulated pixel data: its items are fragments.
    bool InFragments() const { return !open_.empty() && open_.back() == Kind::Fragments; }

private:
    enum class Kind { Sequence, Item, Fragments };
    std::vector<Kind> open_;
};

}  // namespace pella
