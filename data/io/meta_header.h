// The file meta information group written in front of every Part 10 file.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

constexpr const char* kImplementationClassUid = "1.2.826.0.1.3680043.2.7777.999";
constexpr const char* kImplementationVersionName = "korvantel";

// Empties `metaList` and fills it with the seven meta elements: group length, version 00 01,
// SOP class, SOP instance and transfer syntax UIDs (odd lengths padded with a zero byte),
// implementation class UID and version name. The group length is computed last.
void BuildMetaHeader(ElementList& metaList, const std::string& sopClassUid, const std::string& sopInstanceUid,
                     const std::string& transferSyntaxUid, bool explicitVR);

}  // namespace pella
