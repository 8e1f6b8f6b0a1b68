// Checking that a file just written reads back as the lists it was written from.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// True when the Part 10 file reads back into as many meta and data-set elements as
// `metaList` and `dataList` hold, with the same tags and lengths in the same order. False with
// `reason` set otherwise (the file is left as it is).
bool FileReadsBack(const std::string& fileName, const ElementList& metaList, const ElementList& dataList,
                   std::string& reason);

}  // namespace pella
