// Writes element lists as encoded DICOM data: into a buffer, and as Part 10 files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

// Encodes one element's header (tag, VR when the form has one, length) into `out`, which holds
// at least 12 bytes; returns the number of bytes used (EncodedHeaderSize). With `bigEndian`,
// tag and length outside group 0002 are big endian. Value bytes are never touched here.
std::size_t EncodeElementHeader(const DataElement& element, bool explicitVR, bool bigEndian, uint8_t* out);

// Writes every element of `list`, in order, into `buffer` as header plus value bytes as stored.
// Returns the number of elements written, or -1 when the buffer is too small for them; then
// the reason is logged and nothing is written past `bufferSize`.
int64_t SerializeElements(const ElementList& list, uint8_t* buffer, std::size_t bufferSize, bool explicitVR,
                          bool bigEndian);

// The whole list serialised into a buffer of exactly EncodedListLength bytes.
// Throws std::runtime_error when the encoding does not fit (the sizes disagree).
std::vector<uint8_t> SerializeList(const ElementList& list, bool explicitVR, bool bigEndian);

// Creates or truncates `fileName` and writes, when `metaList` is given, 128 zero bytes, "DICM"
// and the meta list (explicit VR little endian), then the data list in the given encoding,
// deflated when the meta list names the deflated syntax.
// False (logged) when the file cannot be created or written; a partly written file is removed.
bool WritePart10File(const std::string& fileName, const ElementList* metaList, const ElementList& dataList,
                     bool explicitVR, bool bigEndian);

}  // namespace pella
