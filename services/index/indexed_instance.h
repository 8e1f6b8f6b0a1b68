// The values of one filed object that the archive index stores: one text per attribute of the
// index table (index_attributes.h), with its place, syntax and character set.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

struct IndexedInstance {
    std::vector<std::string> values;   // in the order of IndexAttributes()
    std::string specificCharacterSet;  // (0008,0005) as received
    std::string transferSyntaxUid;
    std::string path;  // relative to the storage folder
};

// Called once per listed record; false stops the listing.
using IndexedInstanceVisitor = std::function<bool(const IndexedInstance&)>;

// The index values of a data set (its top-level elements), stored at `path` (relative to the
// storage folder) in `transferSyntaxUid`.
IndexedInstance IndexedInstanceOf(const ElementList& dataSet, const std::string& transferSyntaxUid,
                                  const std::string& path);

}  // namespace pella
