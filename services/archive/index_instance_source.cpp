#include "services/archive/index_instance_source.h"

#include "services/index/archive_index.h"

namespace pella {

InstanceSource IndexInstanceSource(std::string storageFolder) {
    return [folder = std::move(storageFolder)](const RetrieveKeys& keys, const StoredInstanceVisitor& visit,
                                               std::string& why) {
        std::unique_ptr<ArchiveIndex> index = OpenArchiveIndex(folder, why);
        if (!index) {
            why = "the archive index cannot be opened: " + why;
            return false;
        }
        if (index->ListInstances(keys, visit) != IndexScan::Failed) return true;
        why = "the archive index could not be read";
        return false;
    };
}

}  // namespace pella
