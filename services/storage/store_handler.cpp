#include "services/storage/store_handler.h"

#include <vector>

#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/io/meta_header.h"
#include "data/model/nesting_tracker.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/storage/filing.h"

namespace pella {

namespace {

// Removes the data set's own group 0002 elements: they belong to the file meta header, which the
// server writes itself, and a second copy inside the data set misleads every reader.
void DropFileMetaElements(ElementList& dataSet) {
    std::vector<ElementPtr> kept;
    kept.reserve(dataSet.size());
    NestingTracker nesting;
    for (ElementPtr& e : dataSet.items) {
        bool drop = nesting.AtTopLevel() && e->group == 0x0002;
        nesting.Observe(*e);
        if (!drop) kept.push_back(std::move(e));
    }
    std::size_t dropped = dataSet.size() - kept.size();
    dataSet.items = std::move(kept);
    if (dropped > 0)
        WriteLogLine("Dropped " + std::to_string(dropped) +
                     " file meta element(s) found inside a received data set");
}

// Handles one C-STORE-RQ: reads the data set, files it, answers on the request's context.
bool ServeStore(const StoreServerConfig& config, PDU& pdu, const ReceivedCommand& request) {
    ElementList dataSet;
    if (!ReadStoreRequestDataset(pdu, request, dataSet)) {
        LogFailure("The data set of a C-STORE-RQ could not be read");
        return false;
    }
    std::string syntax;
    FindAcceptedSyntax(pdu, pdu.data.messageContextID, syntax);
    uint16_t status = StoreReceivedObject(config, syntax, dataSet);
    if (!SendStoreResponse(pdu, request, status)) {
        LogFailure("C-STORE-RSP could not be sent");
        return false;
    }
    return true;
}

}  // namespace

void AddStoreHandler(RequestHandlers& handlers, const StoreServerConfig& config) {
    handlers.AddForStorageClasses(kCStoreRQ, [&config](PDU& pdu, const ReceivedCommand& request) {
        return ServeStore(config, pdu, request);
    });
}

bool ReadStoreRequestDataset(PDU& pdu, const ReceivedCommand& request, ElementList& dataSet) {
    if (request.command.commandField != kCStoreRQ || !request.command.HasDataSet()) return false;
    return ReadDataSet(pdu, dataSet);
}

bool SendStoreResponse(PDU& pdu, const ReceivedCommand& request, uint16_t status) {
    if (request.command.affectedSopClass.empty()) return false;
    return SendResponse(pdu, MakeResponse(request, status));
}

uint16_t StoreReceivedObject(const StoreServerConfig& config, const std::string& transferSyntax,
                             ElementList& dataSet) {
    if (!SequencesClosed(dataSet)) {
        LogFailure("Object refused: its data set ends inside an open sequence or item");
        return kStatusCannotUnderstand;
    }
    DropFileMetaElements(dataSet);
    // Objects are filed in the syntax they arrived in: the value bytes stay as received, and
    // sequences of defined length keep the encoding of their contents.
    bool explicitVR = TransferSyntax(transferSyntax).ExplicitVR();
    const std::string& fileSyntax = transferSyntax;
    ElementList meta;
    BuildMetaHeader(meta, ElementUid(dataSet, 0x0008, 0x0016), ElementUid(dataSet, 0x0008, 0x0018),
                    fileSyntax, explicitVR);
    FilingOutcome outcome = FileReceivedObject(
        config.storageFolder, config.databaseRoot, dataSet,
        [&](const std::string& fileName) {
            return WritePart10File(fileName, &meta, dataSet, explicitVR, false);
        },
        FilingOptions{config.sync});
    if (outcome.index == FilingResult::Refused) {
        LogFailure("Object refused: its Study, Series or SOP Instance UID cannot name a file");
        return kStatusCannotUnderstand;
    }
    if (!outcome.Filed()) {
        LogFailure("Object could not be filed: " + outcome.fileName);
        return kStatusOutOfResources;
    }
    LogProgress("Stored " + outcome.fileName);
    return kStatusSuccess;
}

}  // namespace pella
