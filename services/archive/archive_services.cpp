#include "services/archive/archive_services.h"

#include "data/registry/transfer_syntaxes.h"
#include "services/archive/find_handler.h"

namespace pella {

namespace {

// The query and retrieve classes served; their identifiers are small, so the two uncompressed
// little-endian syntaxes are all they need.
constexpr const char* kArchiveClasses[] = {
    "1.2.840.10008.5.1.4.1.2.1.1",  // Patient Root Query/Retrieve - FIND
    "1.2.840.10008.5.1.4.1.2.2.1",  // Study Root Query/Retrieve - FIND
};

std::vector<std::string> ArchiveSyntaxes(const std::string& abstractSyntax) {
    for (const char* uid : kArchiveClasses)
        if (abstractSyntax == uid) return {kExplicitLittleEndian, kImplicitLittleEndian};
    return {};
}

void AddArchiveHandlers(RequestHandlers& handlers, const StoreServerConfig& config) {
    AddFindHandlers(handlers, config);
}

}  // namespace

std::shared_ptr<const ServerExtension> ArchiveServices() {
    static const auto services =
        std::make_shared<const ServerExtension>(ServerExtension{ArchiveSyntaxes, AddArchiveHandlers});
    return services;
}

}  // namespace pella
