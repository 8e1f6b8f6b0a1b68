#include "services/store.h"

#include <cstdio>

#include "data/convert/dataset_conversion.h"
#include "data/io/element_header.h"
#include "log/protocol_log.h"
#include "net/command_set.h"
#include "net/dimse.h"
#include "net/identifiers.h"
#include "services/store_session.h"

namespace pella {

namespace {

constexpr uint16_t kDataSetFollows = 0x0102;
constexpr uint16_t kMediumPriority = 0;

bool IsNativeLittleEndian(const std::string& syntax) {
    return syntax == kImplicitLittleEndian || syntax == kExplicitLittleEndian;
}

ElementList StoreCommand(const std::string& sopClassUid, const ElementList& data) {
    ElementList command;
    AppendUI(command, 0x0000, kTagAffectedSopClass, sopClassUid);
    AppendUS(command, 0x0000, kTagCommandField, kCStoreRQ);
    AppendUS(command, 0x0000, kTagMessageID, NextMessageID());
    AppendUS(command, 0x0000, kTagPriority, kMediumPriority);
    AppendUS(command, 0x0000, kTagDataSetType, kDataSetFollows);
    if (const DataElement* instance = FindElement(data, 0x0008, 0x0018)) {
        // The instance UID's value bytes as stored; an odd length gets its missing pad byte.
        std::string value;
        if (HasValue(*instance)) value.assign(reinterpret_cast<const char*>(instance->value),
                                              static_cast<std::size_t>(instance->length));
        AppendUI(command, 0x0000, kTagAffectedSopInstance, value);
    }
    PrependCommandGroupLength(command);
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

// Reads the data set that a response announced, and drops it.
void SkipAnnouncedDataSet(PDU& pdu, const ElementList& response) {
    if (GetElementUS(response, 0x0000, kTagDataSetType) == kNoDataSet) return;
    ElementList ignored;
    ReadMessage(pdu, ignored);
}

}  // namespace

bool CanTravelAs(const std::string& fileSyntax, const std::string& accepted, bool convert) {
    return accepted == fileSyntax || convert ||
           (IsNativeLittleEndian(fileSyntax) && IsNativeLittleEndian(accepted));
}

bool WriteStoreRQ(PDU& pdu, ElementList& data, const std::string& sopClassUid,
                  const std::string& fileSyntax, bool convert) {
    std::string accepted;
    if (AcceptedContextFor(pdu, sopClassUid, accepted) == 0) return false;
    ElementList converted;
    const ElementList* toSend = DataSetToSend(data, converted, fileSyntax, accepted, convert);
    if (toSend == nullptr) return false;
    ElementList command = StoreCommand(sopClassUid, *toSend);
    return SendMessage(pdu, command, sopClassUid, kCommandSet) &&
           SendMessage(pdu, *toSend, sopClassUid, kDataSet);
}

int32_t ReadStoreRSP(PDU& pdu) {
    ElementList response;
    if (!ReadMessage(pdu, response)) {
        std::string why = LastFailure();
        LogFailure("No C-STORE response could be read" + (why.empty() ? "" : ": " + why));
        return kNoStoreResponse;
    }
    SkipAnnouncedDataSet(pdu, response);
    uint16_t field = GetElementUS(response, 0x0000, kTagCommandField);
    char text[96];
    if (field != kCStoreRSP) {
        std::snprintf(text, sizeof text, "Response is not a C-STORE-RSP: command field 0x%04X", field);
        LogFailure(text);
        return kNotAStoreResponse;
    }
    const DataElement* status = FindElement(response, 0x0000, kTagStatus);
    if (status == nullptr || status->length < 2) {
        // Reading a missing status as 0 would report an object as stored that may not be.
        LogFailure("C-STORE-RSP without a status");
        return kNoStoreResponse;
    }
    uint16_t value = GetElementUS(response, 0x0000, kTagStatus);
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
