// Finding one's way in the flat form of an element list: a data set level (the data set itself,
// or the contents of one item) is a range of indexes; an element with undefined length spans
// the elements up to its closing delimiter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

// The elements [begin, end) of one level: the data set, or the contents of an item.
struct Level {
    std::size_t begin = 0;
    std::size_t end = 0;
};

inline Level WholeList(const ElementList& list) {
    return {0, list.size()};
}

// Whether the element opens a run closed by a delimiter: an undefined-length sequence, item or
// encapsulated pixel data.
bool OpensRun(const DataElement& element);

// The index after the element at `index` and, when it opens a run, everything up to and with its
// closing delimiter (the list's size when the run is never closed).
std::size_t ExtentEnd(const ElementList& list, std::size_t index);

// The first element of the level (not inside its sequences) with the tag.
std::optional<std::size_t> FindInLevel(const ElementList& list, Level level, uint16_t group,
                                       uint16_t element);

// Where an element with the tag goes in the level: before its first element with a higher tag.
std::size_t InsertPosition(const ElementList& list, Level level, uint16_t group, uint16_t element);

// An undefined-length sequence (VR SQ), whose items can be walked.
bool IsOpenSequence(const DataElement& element);

// The contents of each undefined-length item of the sequence at `index`, in order.
std::vector<Level> ItemsOf(const ElementList& list, std::size_t index);

}  // namespace pella
