// Reading the directory records of a DICOMDIR into one flat element list, in hierarchical order
// (each patient, its studies, each study's series, each series' instance records), following
// the record offsets of the file rather than the order in which the records are stored.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Appends, per record taken, the record type element (0004,1430) and then the record's own
// elements after it, in stored order (items and delimiters of nested undefined-length sequences
// included). Values keep the byte order of the file's transfer syntax. True when the file is a
// Part 10 file with an offset of the root directory's first record (0004,1200) among its
// top-level elements; records that cannot be reached (an offset outside the file, or one that
// leads back to a record already read) end their level and leave the result true.
bool ReadDicomDirectory(const std::string& fileName, ElementList& list);

}  // namespace pella
