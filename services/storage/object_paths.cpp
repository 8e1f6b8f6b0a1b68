#include "services/storage/object_paths.h"

#include "data/io/element_header.h"

namespace pella {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

ObjectUids ReadObjectUids(const ElementList& dataSet) {
    return ObjectUids{ElementUid(dataSet, 0x0020, 0x000D), ElementUid(dataSet, 0x0020, 0x000E),
                      ElementUid(dataSet, 0x0008, 0x0018)};
}

std::optional<std::string> SeriesFolderPath(const std::string& folder, const ObjectUids& uids) {
    if (folder.empty() || !uids.Valid()) return std::nullopt;
    return JoinPath(JoinPath(folder, uids.study), uids.series);
}

std::optional<std::string> ReceivedObjectPath(const std::string& storageFolder, const ObjectUids& uids) {
    std::optional<std::string> seriesFolder = SeriesFolderPath(storageFolder, uids);
    if (!seriesFolder) return std::nullopt;
    return JoinPath(*seriesFolder, uids.sopInstance + ".dcm");
}

std::optional<std::string> ReceivedObjectPath(const std::string& storageFolder, const ElementList& dataSet) {
    return ReceivedObjectPath(storageFolder, ReadObjectUids(dataSet));
}

}  // namespace pella
