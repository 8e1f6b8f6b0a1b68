#include "services/archive/folder_instance_source.h"

#include <algorithm>
#include <filesystem>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "data/registry/uid.h"
#include "services/storage/object_paths.h"
#include "services/storage/series_files.h"

namespace pella {

namespace {

namespace fs = std::filesystem;

// The sub-folders of `folder` whose names are valid UIDs, sorted; or the named ones.
std::vector<std::string> UidFolders(const std::string& folder, const std::vector<std::string>& named) {
    if (!named.empty()) return named;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) continue;
        std::string name = it->path().filename().string();
        if (IsValidUid(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The files of a series folder: the named instances' files that exist, or every object file.
std::vector<std::string> SeriesFiles(const std::string& folder, const std::vector<std::string>& named) {
    std::vector<std::string> files;
    if (named.empty()) {
        ListDicomFiles(folder, files);
        return files;
    }
    for (const std::string& uid : named) {
        std::string file = JoinPath(folder, uid + ".dcm");
        std::error_code ec;
        if (fs::is_regular_file(file, ec)) files.push_back(file);
    }
    return files;
}

// The instance a file holds, from its header; false when it cannot be read as an object.
bool ReadInstance(const std::string& file, StoredInstance& instance) {
    ElementList header;
    if (!ReadHeaderForDump(file, header)) return false;
    instance.transferSyntaxUid = ElementUid(header, 0x0002, 0x0010);
    instance.sopClassUid = ElementUid(header, 0x0008, 0x0016);
    instance.sopInstanceUid = ElementUid(header, 0x0008, 0x0018);
    return !instance.transferSyntaxUid.empty() && !instance.sopClassUid.empty() &&
           !instance.sopInstanceUid.empty();
}

// True when the study's first object names the Patient ID.
bool StudyOfPatient(const std::string& studyFolder, const std::vector<std::string>& patientIds) {
    for (const std::string& series : UidFolders(studyFolder, {})) {
        std::vector<std::string> files;
        ListDicomFiles(JoinPath(studyFolder, series), files);
        for (const std::string& file : files) {
            ElementList header;
            if (!ReadHeaderForDump(file, header)) continue;
            std::string id = GetElementText(header, 0x0010, 0x0020);
            for (const std::string& wanted : patientIds)
                if (id == wanted) return true;
            return false;
        }
    }
    return false;
}

class FolderWalk {
public:
    FolderWalk(const std::string& root, const RetrieveKeys& keys, const StoredInstanceVisitor& sink)
        : root_(root), keys_(keys), sink_(sink) {}

    // False when the sink stopped the walk.
    bool Run() {
        for (const std::string& study : UidFolders(root_, keys_.studyUids)) {
            std::string studyFolder = JoinPath(root_, study);
            if (!keys_.patientIds.empty() && !StudyOfPatient(studyFolder, keys_.patientIds)) continue;
            for (const std::string& series : UidFolders(studyFolder, keys_.seriesUids))
                if (!Series(study + "/" + series)) return false;
        }
        return true;
    }

private:
    bool Series(const std::string& relativeFolder) {
        for (const std::string& file : SeriesFiles(JoinPath(root_, relativeFolder), keys_.sopInstanceUids)) {
            StoredInstance instance;
            if (!ReadInstance(file, instance)) continue;
            instance.path = relativeFolder + "/" + fs::path(file).filename().string();
            if (!sink_(instance)) return false;
        }
        return true;
    }

    const std::string& root_;
    const RetrieveKeys& keys_;
    const StoredInstanceVisitor& sink_;
};

}  // namespace

InstanceSource FolderInstanceSource(std::string storageFolder) {
    return [root = std::move(storageFolder)](const RetrieveKeys& keys, const StoredInstanceVisitor& sink,
                                             std::string& why) {
        std::error_code ec;
        if (!fs::is_directory(root, ec)) {
            why = "the storage folder " + root + " cannot be read";
            return false;
        }
        FolderWalk(root, keys, sink).Run();
        return true;
    };
}

}  // namespace pella
