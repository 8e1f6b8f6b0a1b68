#include "services/storage/store_handler.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "services/storage/filing.h"
#include "services/storage/object_paths.h"
#include "services/storage/received_object.h"
#include "services/storage/storage_space.h"

namespace pella {

namespace {

// Files a whole received object from its staged file; the status to answer with.
uint16_t FileObject(const StoreServerConfig& config, ReceivedObject& object, StagedFile& staged) {
    ReceivedObject::Result result = object.Finish();
    if (result == ReceivedObject::Result::kNotWritten) {
        LogFailure("Object could not be written: " + object.Failure());
        return kStatusOutOfResources;
    }
    if (result != ReceivedObject::Result::kComplete) {
        LogFailure("Object refused: " + object.Failure());
        return kStatusCannotUnderstand;
    }
    // The values inside a sequence that came with an undefined length are read back from the
    // file just written (its front only, from the page cache).
    DataSetFront front;
    const bool reread =
        config.archiveIndex && object.HasOpenIndexedSequence() && ReadDataSetFront(staged.Name(), front);
    FilingOutcome outcome = FileStagedObject(
        config.storageFolder, config.databaseRoot, reread ? front.elements : object.Attributes(), staged,
        FilingOptions{config.sync, config.archiveIndex, object.Syntax()});
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

// Reads and drops the announced data set (bounded by the object limit only) of a store that
// cannot be written: Out of Resources, or nothing when the association ended.
std::optional<uint16_t> DropDataSet(const StoreServerConfig& config, PDU& pdu) {
    ReceptionBounds bounds(config.storageFolder, config.maxObjectBytes, 0);
    if (!ReadDataSetStream(pdu, [&](const uint8_t*, std::size_t size) { return bounds.Allow(size); }))
        return std::nullopt;
    return kStatusOutOfResources;
}

// Receives the announced data set into a staged file and files it. The status to answer with,
// or nothing when the association has ended (aborted, released or lost).
std::optional<uint16_t> ReceiveObject(const StoreServerConfig& config, PDU& pdu, const std::string& syntax,
                                      ByteVector& buffer) {
    ReceptionBounds bounds(config.storageFolder, config.maxObjectBytes, config.minFreeBytes);
    if (!bounds.ReserveHolds()) return DropDataSet(config, pdu);
    StagedFile staged = StageIncoming(config.storageFolder);
    if (!staged.Valid()) {
        LogFailure("No staged file could be made in " + IncomingFolder(config.storageFolder));
        return DropDataSet(config, pdu);
    }
    ReceivedObject object(staged, syntax, buffer, config.maxObjectBytes);
    bool received = ReadDataSetStream(pdu, [&](const uint8_t* bytes, std::size_t size) {
        if (!bounds.Allow(size)) return false;
        if (object.Take(bytes, size)) return true;
        LogFailure("Received data set cannot be decoded: " + object.Failure());
        return false;
    });
    if (!received) return std::nullopt;
    return FileObject(config, object, staged);
}

// Handles one C-STORE-RQ: receives and files its data set, answers on the request's context.
bool ServeStore(const StoreServerConfig& config, PDU& pdu, const ReceivedCommand& request,
                ByteVector& buffer) {
    if (request.command.commandField != kCStoreRQ || !request.command.HasDataSet()) {
        LogFailure("A C-STORE-RQ without a data set");
        return false;
    }
    std::string syntax;
    FindAcceptedSyntax(pdu, request.contextID, syntax);
    std::optional<uint16_t> status = ReceiveObject(config, pdu, syntax, buffer);
    if (!status) {
        LogFailure("The data set of a C-STORE-RQ could not be received");
        return false;
    }
    if (!SendStoreResponse(pdu, request, *status)) {
        LogFailure("C-STORE-RSP could not be sent");
        return false;
    }
    return true;
}

}  // namespace

void AddStoreHandler(RequestHandlers& handlers, const StoreServerConfig& config) {
    // One file buffer for all the objects of the association the handlers serve.
    auto buffer = std::make_shared<ByteVector>();
    handlers.AddForStorageClasses(kCStoreRQ, [&config, buffer](PDU& pdu, const ReceivedCommand& request) {
        return ServeStore(config, pdu, request, *buffer);
    });
}

bool SendStoreResponse(PDU& pdu, const ReceivedCommand& request, uint16_t status) {
    if (request.command.affectedSopClass.empty()) return false;
    return SendResponse(pdu, MakeResponse(request, status));
}

uint16_t StoreReceivedObject(const StoreServerConfig& config, const std::string& transferSyntax,
                             const ElementList& dataSet) {
    if (!ReceivedObjectPath(config.storageFolder, dataSet) || config.databaseRoot.empty()) {
        LogFailure("Object refused: its Study, Series or SOP Instance UID cannot name a file");
        return kStatusCannotUnderstand;
    }
    StagedFile staged = StageIncoming(config.storageFolder);
    if (!staged.Valid()) {
        LogFailure("No staged file could be made in " + IncomingFolder(config.storageFolder));
        return kStatusOutOfResources;
    }
    ByteVector buffer;
    // A list holds the elements themselves: one read from a deflated data set is filed inflated.
    TransferSyntax elements = TransferSyntax(transferSyntax).ElementSyntax();
    ReceivedObject object(staged, elements.Uid(), buffer);
    std::vector<uint8_t> bytes = SerializeList(dataSet, elements.ExplicitVR(), false);
    if (!object.Take(bytes.data(), bytes.size())) {
        LogFailure("Data set cannot be decoded: " + object.Failure());
        return kStatusCannotUnderstand;
    }
    return FileObject(config, object, staged);
}

}  // namespace pella
