// cairo is loaded when the first page is drawn, not when the library is: it brings about
// twenty shared libraries (X11, fontconfig, freetype, ...) whose loading every run of every
// command would otherwise pay, while only the ECG page draws with it. The cairo functions this
// layer calls are defined in cairo_on_demand.cpp and forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads cairo on first use; false with `reason` set when it cannot be loaded.
bool CairoAvailable(std::string& reason);

}  // namespace pella
