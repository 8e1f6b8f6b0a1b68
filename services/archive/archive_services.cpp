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

// The query/retrieve class of the two root models, when the class is one.
const SopClassInfo* RootModelClass(const std::string& abstractSyntax) {
    const SopClassInfo* info = FindSopClass(abstractSyntax);
    if (!info || info->retired) return nullptr;
    if (info->queryModel != QueryModel::kPatientRoot && info->queryModel != QueryModel::kStudyRoot)
        return nullptr;
    return info;
}

// Identifiers and commands travel in the native syntaxes only.
std::vector<std::string> NativeSyntaxes() {
    return {kExplicitLittleEndian, kImplicitLittleEndian, kExplicitBigEndian};
}

}  // namespace

bool IsArchiveClass(const std::string& abstractSyntax) {
    return abstractSyntax == kStorageCommitmentClass || RootModelClass(abstractSyntax) != nullptr;
}

void AddArchiveServices(const ArchiveSetup& setup, RequestHandlers& handlers, ServingPolicy& serving) {
    const RequestHandler find = FindHandler(setup);  // one index connection for both models
    for (const SopClassInfo& info : SopClasses()) {
        if (!RootModelClass(info.uid)) continue;
        switch (info.queryOperation) {
            case QueryOperation::kFind:
                handlers.Add(kCFindRQ, info.uid, find);
                break;
            case QueryOperation::kMove:
                handlers.Add(kCMoveRQ, info.uid, [&setup](PDU& pdu, const ReceivedCommand& request) {
                    return ServeMove(setup, pdu, request);
                });
                break;
            case QueryOperation::kGet:
                handlers.Add(kCGetRQ, info.uid, [&setup](PDU& pdu, const ReceivedCommand& request) {
                    return ServeGet(setup, pdu, request);
                });
                break;
            default:
                break;
        }
    }
    handlers.Add(kNActionRQ, kStorageCommitmentClass, [&setup](PDU& pdu, const ReceivedCommand& request) {
        return ServeCommitment(setup, pdu, request);
    });
    auto storageSyntaxes = serving.transferSyntaxesFor;
    serving.transferSyntaxesFor = [storageSyntaxes](const std::string& abstractSyntax) {
        if (IsArchiveClass(abstractSyntax)) return NativeSyntaxes();
        return storageSyntaxes ? storageSyntaxes(abstractSyntax) : std::vector<std::string>{};
    };
    serving.actsAsUserFor = [](const std::string& abstractSyntax) {
        return IsStorageSopClass(abstractSyntax);
    };
}

}  // namespace pella
