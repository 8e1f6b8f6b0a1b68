// Storage SOP classes whose objects hold no image pixel data.
#pragma once

#include <string>

namespace pella {

// True for the storage SOP classes without image pixel data (waveforms, presentation states,
// structured reports, RT objects, ...). Such objects are never offered in a transfer syntax the
// caller asks for, since a compressed image syntax means nothing for them. Exact, case-sensitive
// comparison of the whole UID text.
bool IsNonImageSopClass(const std::string& sopClassUid);

}  // namespace pella
