#include "services/archive/archive_services.h"

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "net/dimse/command_set.h"
#include "services/archive/commitment_handler.h"
#include "services/archive/find_handler.h"
#include "services/archive/get_handler.h"
#include "services/archive/move_handler.h"

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

// The retrieve classes served, with the command that uses each.
bool IsServedRetrieveClass(const std::string& abstractSyntax) {
    const SopClassInfo* info = FindSopClass(abstractSyntax);
    return info && !info->retired &&
           (info->queryModel == QueryModel::kPatientRoot || info->queryModel == QueryModel::kStudyRoot) &&
           (info->queryOperation == QueryOperation::kMove || info->queryOperation == QueryOperation::kGet);
}

// Identifiers and commands travel in the native syntaxes only.
std::vector<std::string> NativeSyntaxes() {
    return {kExplicitLittleEndian, kImplicitLittleEndian, kExplicitBigEndian};
}

}  // namespace

std::shared_ptr<const ServerExtension> ArchiveServices() {
    static const auto services =
        std::make_shared<const ServerExtension>(ServerExtension{ArchiveSyntaxes, AddArchiveHandlers});
    return services;
}

void AddArchiveServices(const ArchiveSetup& setup, RequestHandlers& handlers, ServingPolicy& serving) {
    for (const SopClassInfo& info : SopClasses()) {
        if (!IsServedRetrieveClass(info.uid)) continue;
        if (info.queryOperation == QueryOperation::kMove)
            handlers.Add(kCMoveRQ, info.uid, [&setup](PDU& pdu, const ReceivedCommand& request) {
                return ServeMove(setup, pdu, request);
            });
        else
            handlers.Add(kCGetRQ, info.uid, [&setup](PDU& pdu, const ReceivedCommand& request) {
                return ServeGet(setup, pdu, request);
            });
    }
    handlers.Add(kNActionRQ, kStorageCommitmentClass, [&setup](PDU& pdu, const ReceivedCommand& request) {
        return ServeCommitment(setup, pdu, request);
    });
    auto storageSyntaxes = serving.transferSyntaxesFor;
    serving.transferSyntaxesFor = [storageSyntaxes](const std::string& abstractSyntax) {
        if (IsServedRetrieveClass(abstractSyntax) || abstractSyntax == kStorageCommitmentClass)
            return NativeSyntaxes();
        return storageSyntaxes ? storageSyntaxes(abstractSyntax) : std::vector<std::string>{};
    };
    serving.actsAsUserFor = [](const std::string& abstractSyntax) {
        return IsStorageSopClass(abstractSyntax);
    };
}

}  // namespace pella
