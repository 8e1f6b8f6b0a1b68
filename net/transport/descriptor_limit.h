// The process's limit on open descriptors, which bounds how many connections it can hold.
#pragma once

#include <cstddef>

namespace pella {

// Raises the soft limit on open descriptors towards the hard limit when it is below `wanted`
// (logged when it changes) and returns the soft limit in force afterwards.
std::size_t RaiseDescriptorLimit(std::size_t wanted);

}  // namespace pella
