// libpng is loaded when the first PNG file is written, not when the library is: only the
// commands that write PNG pages or bitmaps use it, while loading it cost every run of every
// other command. The libpng functions this layer calls are defined in libpng_on_demand.cpp and
// forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads libpng on first use; false with `reason` ("libpng cannot be loaded: ...") when it cannot
// be loaded.
bool LibpngAvailable(std::string& reason);

}  // namespace pella
