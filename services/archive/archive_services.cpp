#include "services/archive/archive_services.h"

#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "net/dimse/command_set.h"
#include "services/archive/commitment_handler.h"
#include "services/archive/get_handler.h"
#include "services/archive/move_handler.h"

namespace pella {

namespace {

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
