// What the archive's services need to answer: where the files are, where the instances a
// request selects are listed from, the known peers and this server's AE title.
#pragma once

#include <memory>
#include <string>

#include "services/archive/instance_source.h"
#include "services/archive/peers_file.h"

namespace pella {

struct ArchiveSetup {
    std::string storageFolder;
    std::string aeTitle = "PELLA";  // calling title of the associations the archive opens
    InstanceSource instances;
    std::shared_ptr<const PeersFile> peers;  // null: no peer known
};

}  // namespace pella
