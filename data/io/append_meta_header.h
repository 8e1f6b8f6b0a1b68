// Turning a bare data set file into a Part 10 file in place.
#pragma once

#include <string>

namespace pella {

// Reads `fileName` from offset 0 as a data set in `transferSyntaxUid`, builds the meta group
// from its SOP class and instance UIDs and rewrites the file as preamble, "DICM", meta group
// and data set. The file is replaced only when the new one is completely written. False
// (logged, file untouched) when the UID is malformed, the file is already a Part 10 file, or
// it cannot be read as a data set in that transfer syntax.
bool AppendMetaHeaderToFile(const std::string& fileName, const std::string& transferSyntaxUid);

}  // namespace pella
