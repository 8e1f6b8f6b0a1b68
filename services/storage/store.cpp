#include "services/storage/store.h"

#include <cstdio>

#include "data/convert/conversion_syntax.h"
#include "data/convert/dataset_conversion.h"
#include "data/io/element_header.h"
#include "data/registry/sop_classes.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/dimse/dimse.h"
#include "net/dimse/dimse_messages.h"
#include "services/storage/store_session.h"

namespace pella {

namespace {

constexpr uint16_t kMediumPriority = 0;

// The C-STORE-RQ for a data set: the instance UID's value bytes as stored.
DimseCommand StoreCommand(const std::string& sopClassUid, const ElementList& data) {
    DimseCommand command;
    command.commandField = kCStoreRQ;
    command.affectedSopClass = sopClassUid;
    command.priority = kMediumPriority;
    if (const DataElement* instance = FindElement(data, 0x0008, 0x0018); instance && HasValue(*instance))
        command.affectedSopInstance = UidText(instance->value, instance->length);
    return command;
}

// The list to send in the accepted syntax: `data` itself, or `converted` filled from it.
// Between implicit and explicit VR little endian the values are the same and only the headers
// change (nested sequences included), so that crossing is always made; any other needs
// `convert`, since the values as read would reach the peer as corrupt data.
const ElementList* DataSetToSend(ElementList& data, ElementList& converted,
                                 const std::string& fileSyntax, const std::string& accepted,
                                 bool convert) {
    if (accepted == fileSyntax) return &data;
    if (!CanTravelAs(fileSyntax, accepted, convert)) {
        LogFailure("The peer accepted " + accepted + " for a data set in " + fileSyntax +
                   "; it cannot travel there unconverted");
        return nullptr;
    }
    if (!ConvertDataset(converted, data, accepted, fileSyntax)) {
        LogFailure("The data set could not be converted from " + fileSyntax + " to " + accepted);
        return nullptr;
    }
    return &converted;
}

}  // namespace

bool CanTravelAs(const std::string& fileSyntax, const std::string& accepted, bool convert) {
    if (accepted == fileSyntax) return true;
    if (TransferSyntax(fileSyntax).IsNativeLittleEndian() && TransferSyntax(accepted).IsNativeLittleEndian())
        return true;
    return convert && IsConvertibleSyntax(fileSyntax) && IsConvertibleSyntax(accepted);
}

uint8_t StoreContextFor(const PDU& pdu, const std::string& sopClassUid,
                        const std::string& fileSyntax, bool convert, std::string& accepted) {
    // The proposals stand in order of preference (wanted, the file's own, conversions); the
    // first accepted one that the data set can travel on wins.
    for (const auto& proposed : pdu.request.presentationContexts) {
        if (proposed.abstractSyntax.text != sopClassUid) continue;
        std::string syntax;
        if (FindAcceptedSyntax(pdu, proposed.contextID, syntax) && CanTravelAs(fileSyntax, syntax, convert)) {
            accepted = syntax;
            return proposed.contextID;
        }
    }
    return 0;
}

bool WriteStoreRQ(PDU& pdu, ElementList& data, const std::string& sopClassUid,
                  const std::string& fileSyntax, bool convert) {
    std::string accepted;
    uint8_t contextID = StoreContextFor(pdu, sopClassUid, fileSyntax, convert, accepted);
    if (contextID == 0) {
        LogFailure("No accepted presentation context for " + SopClassName(sopClassUid) + " in " +
                   TransferSyntaxName(fileSyntax) +
                   (convert ? " or a syntax it converts to" : " (conversion not asked for)"));
        return false;
    }
    ElementList converted;
    const ElementList* toSend = DataSetToSend(data, converted, fileSyntax, accepted, convert);
    if (toSend == nullptr) return false;
    DimseCommand command = StoreCommand(sopClassUid, *toSend);
    return SendRequest(pdu, contextID, command, toSend);
}

int32_t ReadStoreRSP(PDU& pdu) {
    ReceivedCommand response;
    if (!ReadResponse(pdu, response)) {
        std::string why = LastFailure();
        LogFailure("No C-STORE response could be read" + (why.empty() ? "" : ": " + why));
        return kNoStoreResponse;
    }
    if (response.command.HasDataSet()) {
        ElementList ignored;  // read and dropped, so that the association stays in step
        if (!ReadDataSet(pdu, ignored)) return kNoStoreResponse;
    }
    uint16_t field = response.command.commandField;
    if (field != kCStoreRSP) {
        char text[96];
        std::snprintf(text, sizeof text, "Response is not a C-STORE-RSP: command field 0x%04X", field);
        LogFailure(text);
        return kNotAStoreResponse;
    }
    uint16_t value = *response.command.status;
    if (value != 0) LogFailure("C-STORE-RSP " + StoreStatusText(value));
    return value;
}

bool StoreSCU(const std::string& host, const std::string& port, std::string& calling,
              const std::string& called, const std::string& fileName,
              const std::string& wantedSyntax, bool convert) {
    StoreTarget target{host, port, calling, called, wantedSyntax, convert};
    bool stored;
    {
        StoreSession session(target);
        stored = session.SendFile(fileName).Stored();
    }
    calling = target.calling;
    return stored;
}

}  // namespace pella
