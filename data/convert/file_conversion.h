// Transfer-syntax conversion of a whole element list in place, and of a Part 10 file.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Converts `list` into a temporary list and puts the result in its place, in success as in
// failure (then it holds what was converted before the failure).
bool ConvertListInPlace(ElementList& list, const std::string& targetSyntax, const std::string& sourceSyntax);

// Writes `existingFileName` as a Part 10 file in `targetSyntax` to `newFileName`. When the file
// already is in that syntax, it is copied byte for byte. Nothing is written when the file cannot
// be read or converted (logged). Converting a file onto itself replaces it only once the new
// content is completely written.
bool ConvertFile(const std::string& newFileName, const std::string& existingFileName,
                 const std::string& targetSyntax);

}  // namespace pella
