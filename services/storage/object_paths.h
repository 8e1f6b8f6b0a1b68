// Where a received object and its index entries live on disk, built from the object's own UIDs.
// Every UID that becomes part of a path is checked first, so that a hostile or broken sender
// cannot make the server write outside its folders ("../x", "/etc", "1/2").
#pragma once

#include <optional>
#include <string>

#include "data/model/element_list.h"
#include "data/registry/uid.h"

namespace pella {

// Joins a folder and a name with exactly one "/" between them; an empty folder gives the name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The UIDs that place an object: Study, Series and SOP Instance UID, each the whole value without
// its padding byte, so that "1.2.3\0/../x" is refused rather than filed as "1.2.3". A valid UID
// reads the same through GetElementText, so the file name and the image index line agree.
struct ObjectUids {
    std::string study;
    std::string series;
    std::string sopInstance;

    bool Valid() const { return IsValidUid(study) && IsValidUid(series) && IsValidUid(sopInstance); }
};
ObjectUids ReadObjectUids(const ElementList& dataSet);

// "<folder>/<study>/<series>": the series folder of an object below a storage folder or the
// database root. Empty when the folder is empty or any UID is not valid.
std::optional<std::string> SeriesFolderPath(const std::string& folder, const ObjectUids& uids);

// "<storage>/<study>/<series>/<sop>.dcm": the file of a received object. Empty when the
// storage folder is empty or any of the three UIDs is not valid.
std::optional<std::string> ReceivedObjectPath(const std::string& storageFolder, const ObjectUids& uids);
std::optional<std::string> ReceivedObjectPath(const std::string& storageFolder, const ElementList& dataSet);

}  // namespace pella
