// Saving an element list as a Part 10 file that replaces the old one only once it is whole.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// The meta group for `dataList` in `syntaxUid`: `metaList` (when given and not empty) with its
// SOP Class and Instance UIDs following the data set's own (0008,0016) and (0008,0018) where
// it has them, the transfer syntax set, this library as the implementation and the group length
// recomputed; otherwise a new meta group. False with `error` set when `metaList` holds an
// element outside group 0002.
bool UpdatedMetaList(const ElementList* metaList, const ElementList& dataList, const std::string& syntaxUid,
                     ElementList& out, std::string& error);

// Writes preamble, "DICM", the meta group (UpdatedMetaList) and `dataList`, encoded in
// `syntaxUid` (deflated for the deflated syntax), to a temporary file beside `fileName` and
// renames it over `fileName`. The values must already stand in that syntax's byte order. False
// (the reason noted) when the syntax is no UID, the data set holds meta elements or ends inside
// a sequence, an encapsulated syntax meets native pixel data, or the file cannot be written;
// `fileName` is then untouched.
bool SavePart10File(const std::string& fileName, const ElementList* metaList, const ElementList& dataList,
                    const std::string& syntaxUid);

}  // namespace pella
