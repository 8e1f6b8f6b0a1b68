#include "services/storage/store.h"

#include <algorithm>

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

// The list to send in the accepted syntax: `data` itself, or `converted` filled from it (the
// caller only offers syntaxes the data set can travel as). Between implicit and explicit VR
// little endian the values are the same and only the headers change (nested sequences
// included); any other crossing is a conversion, which fails for files the codec cannot take.
const ElementList* DataSetToSend(ElementList& data, ElementList& converted, const std::string& fileSyntax,
                                 const std::string& accepted) {
    if (TransferSyntax(accepted).ElementSyntax() == TransferSyntax(fileSyntax).ElementSyntax()) return &data;
    if (!ConvertDataset(converted, data, accepted, fileSyntax)) return nullptr;
    return &converted;
}

}  // namespace

bool CanTravelAs(const std::string& fileSyntax, const std::string& accepted, bool convert) {
    if (accepted == fileSyntax) return true;
    // A deflated data set's elements are explicit VR little endian ones: they cross like them.
    if (TransferSyntax(fileSyntax).ElementSyntax().IsNativeLittleEndian() &&
        TransferSyntax(accepted).ElementSyntax().IsNativeLittleEndian())
        return true;
    return convert && CanConvertFrom(fileSyntax) && CanConvertTo(accepted);
}

namespace {

// How much an object wants to travel in a syntax: the wanted one, its own, an uncompressed one,
// any other it converts to. Lower is better.
int SyntaxRank(const std::string& syntax, const std::string& fileSyntax, const std::string& wanted) {
    if (!wanted.empty() && syntax == wanted) return 0;
    if (syntax == fileSyntax) return 1;
    return TransferSyntax(syntax).IsNative() ? 2 : 3;
}

}  // namespace

std::vector<StoreContext> StoreContextsFor(const PDU& pdu, const std::string& sopClassUid,
                                           const std::string& fileSyntax, bool convert,
                                           const std::string* wantedSyntax) {
    std::vector<StoreContext> usable;
    for (const auto& proposed : pdu.request.presentationContexts) {
        if (proposed.abstractSyntax.text != sopClassUid) continue;
        std::string syntax;
        if (FindAcceptedSyntax(pdu, proposed.contextID, syntax) && CanTravelAs(fileSyntax, syntax, convert))
            usable.push_back({proposed.contextID, syntax});
    }
    // Contexts proposed for several objects stand in no order of this object's preference.
    if (wantedSyntax != nullptr)
        std::stable_sort(usable.begin(), usable.end(), [&](const StoreContext& a, const StoreContext& b) {
            return SyntaxRank(a.syntax, fileSyntax, *wantedSyntax) <
                   SyntaxRank(b.syntax, fileSyntax, *wantedSyntax);
        });
    return usable;
}

uint8_t StoreContextFor(const PDU& pdu, const std::string& sopClassUid, const std::string& fileSyntax,
                        bool convert, std::string& accepted, const std::string* wantedSyntax) {
    std::vector<StoreContext> usable = StoreContextsFor(pdu, sopClassUid, fileSyntax, convert, wantedSyntax);
    if (usable.empty()) return 0;
    accepted = usable.front().syntax;
    return usable.front().contextID;
}

bool WriteStoreRQ(PDU& pdu, ElementList& data, const std::string& sopClassUid, const std::string& fileSyntax,
                  bool convert, std::string* note, const std::string* wantedSyntax) {
    std::vector<StoreContext> usable = StoreContextsFor(pdu, sopClassUid, fileSyntax, convert, wantedSyntax);
    if (usable.empty()) {
        LogFailure("No accepted presentation context for " + SopClassName(sopClassUid) + " in " +
                   TransferSyntaxName(fileSyntax) +
                   (convert ? " or a syntax it converts to" : " (conversion not asked for)"));
        return false;
    }
    // The first accepted syntax the data set can be converted into goes; a file the codec
    // cannot take (big endian to JPEG, 1-bit, YBR_FULL_422, ...) falls back to the next.
    std::string unconvertible;
    for (const StoreContext& context : usable) {
        ElementList converted;
        const ElementList* toSend = DataSetToSend(data, converted, fileSyntax, context.syntax);
        if (toSend == nullptr) {
            unconvertible += (unconvertible.empty() ? "" : ", ") + TransferSyntaxName(context.syntax);
            continue;
        }
        if (!unconvertible.empty()) {
            std::string said = "could not be converted to " + unconvertible + "; sent in " +
                               TransferSyntaxName(context.syntax) + " instead";
            LogProgress("The data set " + said);
            ClearLastFailure();
            if (note != nullptr) *note = said;
        }
        DimseCommand command = StoreCommand(sopClassUid, *toSend);
        return SendRequest(pdu, context.contextID, command, toSend);
    }
    LogFailure("The data set could not be converted from " + TransferSyntaxName(fileSyntax) + " to " +
               unconvertible + ", and no other accepted syntax can carry it");
    return false;
}

bool TravelsAsStored(const PDU& pdu, const std::string& sopClassUid, const std::string& fileSyntax,
                     bool convert, const std::string* wantedSyntax) {
    std::vector<StoreContext> usable = StoreContextsFor(pdu, sopClassUid, fileSyntax, convert, wantedSyntax);
    return !usable.empty() && usable.front().syntax == fileSyntax;
}

bool WriteStoreRQFromFile(PDU& pdu, const ElementList& front, const FileTail& tail,
                          const std::string& sopClassUid, const std::string& fileSyntax, bool convert,
                          const std::string* wantedSyntax) {
    std::vector<StoreContext> usable = StoreContextsFor(pdu, sopClassUid, fileSyntax, convert, wantedSyntax);
    if (usable.empty() || usable.front().syntax != fileSyntax) {
        LogFailure("No accepted presentation context for " + SopClassName(sopClassUid) +
                   " carries the file's own " + TransferSyntaxName(fileSyntax));
        return false;
    }
    DimseCommand command = StoreCommand(sopClassUid, front);
    // A deflated file's tail is its whole data set: the front, read from it, is not sent again.
    const ElementList nothingInFront;
    return SendRequest(pdu, usable.front().contextID, command, tail.deflated ? &nothingInFront : &front,
                       &tail);
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
              const std::string& called, const std::string& fileName, const std::string& wantedSyntax,
              bool convert) {
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
