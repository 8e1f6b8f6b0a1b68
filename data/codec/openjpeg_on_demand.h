// OpenJPEG is loaded when the first JPEG 2000 frame is coded, not when the library is: most runs
// code none, and loading it cost every run of every other command. The OpenJPEG functions this
// room calls are defined in openjpeg_on_demand.cpp and forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads OpenJPEG on first use; false with `reason` ("OpenJPEG cannot be loaded: ...") when it
// cannot be loaded.
bool OpenJpegAvailable(std::string& reason);

}  // namespace pella
