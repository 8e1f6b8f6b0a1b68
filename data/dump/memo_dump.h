// The dump of an element list into the lines of a text view (one line per element).
#pragma once

#include <functional>
#include <string>

#include "data/model/element_list.h"

namespace pella {

// Receives one finished line at a time.
using LineSink = std::function<void(const std::string& line)>;

// Hands one line per element of `list` to `memo`: "(gggg, eeee), length, VR  \"value\" - name"
// (no value text from 256 bytes on), or "(gggg, eeee), VR - name" for empty and
// undefined-length elements. Elements inside undefined-length items are prefixed with "....."
// per open item. The table's VR replaces each known element's unless `keepVR` is set. An
// item opened deeper than kMaxSequenceDepth ends the dump with false (the reason noted as the
// thread's failure) after its own line; the lines so far have been handed over.
bool DumpListToMemo(ElementList& list, const LineSink& memo, bool keepVR);

}  // namespace pella
