// Changing an element list in place by tag path: set a value (an existing element, or
// inserting it with any missing sequence and the next item on the way), erase, erase at every
// depth. The list must be in the open form (OpenSequences). Each call changes the list
// completely or, on failure, not at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/edit/tag_path.h"
#include "data/model/element_list.h"

namespace pella {

enum class SetMode {
    Modify,  // the element must exist, and so must every sequence and item on the path
    Insert,  // a missing element is inserted in tag order; a missing sequence, and the item
             // just past a sequence's last one, are made on the way
};

// Sets the element at `path` to `text` encoded by its VR (its own, else the dictionary's);
// binary numbers in the byte order asked for. False with `error` set when the path leads
// through an element that is no sequence, into an item that does not exist, to a missing
// element in Modify mode, to a sequence or delimiter, or the text breaks the VR.
bool SetElementByPath(ElementList& list, const TagPath& path, std::string_view text, SetMode mode,
                      bool bigEndian, std::string& error);

// Erases the element at `path` with everything it holds; returns how many were erased (0 when
// the element, or a sequence on the way, is missing), or -1 with `error` set when the path
// leads through an element that is no sequence or into an item past the sequence's end.
long EraseElementByPath(ElementList& list, const TagPath& path, std::string& error);

// Erases every element with the tag, at the top level and inside items, with what it holds;
// returns how many. Items and delimiters (group FFFE) are never erased.
std::size_t EraseEverywhere(ElementList& list, uint16_t group, uint16_t element);

}  // namespace pella
