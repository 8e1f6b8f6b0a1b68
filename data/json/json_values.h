// The "Value" of one element in the DICOM JSON model: texts, person names, numbers and
// attribute tags. Binary values and sequences are the data set walk's business.
#pragma once

#include <nlohmann/json.hpp>

#include "data/io/character_set.h"
#include "data/model/element_list.h"

namespace pella {

using Json = nlohmann::json;  // keys "GGGGEEEE" sort in tag order

// VRs whose values the JSON model carries as InlineBinary or BulkDataURI.
bool IsBinaryJsonVR(const char* vr);

// Sets attribute["Value"] from the element's value bytes read as `vr` (big endian numbers when
// `bigEndian`); texts are decoded with `text` where the character set applies (SH, LO, UC, ST,
// LT, UT, PN), else as ASCII. Nothing is set for an empty value. Empty entries of a multi-valued
// text are null; IS and DS entries that are not numbers stay texts.
void SetJsonValue(Json& attribute, const char* vr, const DataElement& element, bool bigEndian,
                  const TextDecoder& text);

}  // namespace pella
