// The print user: one image printed on a grayscale printer in one call.
#pragma once

#include <string>

#include "pella.h"

namespace pella {

// Loads the image (DICOM, JPEG or BMP by extension), opens an association for the Basic
// Grayscale Print Management Meta SOP Class, asks for the printer status (its failure does not
// stop the print), creates a film session and a film box, sets the first image box, prints,
// deletes the film box and releases. Each step's outcome is a log line. Min and Max Density
// are checked, and the image loaded, before any association. True only when the film was
// printed and the film box deleted. `calling` may be empty (the default title is then used and
// left in it).
bool PrintSCU(const std::string& fileName, const std::string& host, const std::string& port,
              std::string& calling, const std::string& called, const FilmSessionParameters* filmSession,
              const FilmBoxParameters* filmBox);

}  // namespace pella
