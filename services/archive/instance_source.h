// Where a retrieve finds the stored instances it sends: a source lists the instances a retrieve
// identifier selects, one record at a time, so that no whole result is held. The archive's index
// plugs in here; until a server has one, the storage folder is walked (folder_instance_source.h).
#pragma once

#include <functional>
#include <string>

#include "services/index/stored_instance.h"

namespace pella {

// Receives each matching instance; returns false to stop the listing.
using InstanceSink = std::function<bool(const StoredInstance&)>;

// Lists the instances the keys select through `sink`; false (with `why`) when the listing
// failed (a listing stopped by the sink is no failure).
using InstanceSource =
    std::function<bool(const RetrieveKeys& keys, const InstanceSink& sink, std::string& why)>;

}  // namespace pella
