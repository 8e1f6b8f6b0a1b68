// libjpeg (libjpeg-turbo) is loaded when the first JPEG file is read or written, not when the
// library is: only thumbnails, JPEG files printed or rendered and JPEG bitmaps use it, while
// loading it cost every run of every other command. The libjpeg functions this layer calls are
// defined in libjpeg_on_demand.cpp and forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads libjpeg on first use; false with `reason` ("libjpeg cannot be loaded: ...") when it
// cannot be loaded.
bool LibjpegAvailable(std::string& reason);

}  // namespace pella
