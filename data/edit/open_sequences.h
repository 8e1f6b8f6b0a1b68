// Bringing an element list as a reader left it into the form the editing functions work on.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Elements read without a VR (implicit data) get the dictionary's; every sequence and item held
// with a defined length (its encoded contents as one value) is turned into the flat,
// undefined-length form, its contents decoded in the list's encoding. Encapsulated pixel
// fragments stay as they are. False with `error` set, the list unchanged, when a sequence's
// value does not decode, nests too deep, or the list ends inside an open sequence.
bool OpenSequences(ElementList& list, bool explicitVR, bool bigEndian, std::string& error);

}  // namespace pella
