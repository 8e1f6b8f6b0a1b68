// The line-per-element dump of command and data sets into the protocol log.
#pragma once

#include "data/model/element_list.h"

namespace pella {

// Deepest level DumpElement expands; hostile nesting beyond it ends the dump with failure.
constexpr int kMaxDumpLevel = 64;

// Logs one line for the element ("(gggg,eeee), len,\tVR" plus value text and name for short
// values) and, for a defined-length sequence, or an item below the first level, the lines of
// its contents one level deeper ("..." per level). The table's VR replaces the element's when
// `explicitVR` is false. False when the contents cannot be decoded or nest too deep; the
// lines written until then stay in the log.
bool DumpElement(DataElement& element, bool explicitVR, int level);

}  // namespace pella
