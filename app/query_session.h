// One query over its own association, as the FIND and WL Find tests run it: open, send a query
// record of the level with every key empty, take each match as it arrives, release. The final
// response ends the query whatever its status, so that a peer that answers with a failure is not
// waited on for a further response; the record of a failed response is no match.
#pragma once

#include <functional>
#include <string>

#include "app/test_settings.h"
#include "pella.h"

namespace pellatool {

using MatchSink = std::function<void(const void* record)>;

// True when the association was opened and the query ended with status 0. `level` is "STUDY"
// or "WORKLIST"; every match's record goes to `onMatch` (valid during the call only). On failure
// `failure` receives the library's reason, read before the calls that release and free.
bool RunQuerySession(const TestSettings& settings, const char* sopClassUid, const char* level,
                     const MatchSink& onMatch, std::string& failure);

}  // namespace pellatool
