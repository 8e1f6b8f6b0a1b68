// The storage server's handling of one received byte stream, in process: the stream is played
// into the server's session entry by a local peer (which drops the answers), the session runs
// to its end, and every file it wrote must lie inside its storage and index folders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "services/storage/store_server.h"
#include "support/sandbox_folder.h"
#include "support/stream_peer.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::SandboxFolder folder;
    const auto& sandbox = folder.Fresh();
    StoreServerConfig config;
    config.storageFolder = (sandbox / "store").string();
    config.databaseRoot = (sandbox / "db").string();
    config.receiveTimeoutSeconds = 1;
    config.maxObjectBytes = 1024 * 1024;
    config.minFreeBytes = 1;
    {
        pella_fuzz::StreamPeer peer(data, size);
        ServeAssociation(config, peer.TakeConnection());
    }
    if (!folder.NothingOutside()) std::abort();  // a file was written outside its folders
    return 0;
}
