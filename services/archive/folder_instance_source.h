// An instance source that walks the storage folder's <Study UID>/<Series UID>/<SOP UID>.dcm
// layout and reads each file's header: the retrieve of a server without an index.
#pragma once

#include <string>

#include "services/archive/instance_source.h"

namespace pella {

// Lists below `storageFolder` the files the keys select: the named studies, series and
// instances by their folder and file names (valid UIDs only, so no name leaves the folder),
// every one of a level whose list is empty; for a patient-level retrieve, the studies whose
// first file names the Patient ID. A file that cannot be read as an object is left out.
InstanceSource FolderInstanceSource(std::string storageFolder);

}  // namespace pella
