// One element encoded on its own: appended to a growing byte stream, or read back from one.
#pragma once

#include <cstdint>
#include <vector>

#include "data/io/byte_source.h"
#include "data/model/element_list.h"

namespace pella {

// Appends the element's header (as the file writer encodes it: a 16-bit-length VR whose length
// does not fit becomes "UN" with a 32-bit length) and its value bytes as stored.
void EncodeElement(std::vector<uint8_t>& stream, const DataElement& element, bool explicitVR, bool bigEndian);

// Reads one element encoded that way (groups 0000 and FFFE without a VR) from the source's
// position; the value is copied. Null when the source ends inside the element.
ElementPtr ReadEncodedElement(ByteSource& stream, bool explicitVR, bool bigEndian);

}  // namespace pella
