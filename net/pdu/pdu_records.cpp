#include "net/pdu/pdu_records.h"

#include <algorithm>

#include "net/pdu/limited_reader.h"
#include "net/pdu/pdu_limits.h"

namespace pella {

namespace {

// AE titles go out padded with spaces to 16 bytes: strict peers refuse control characters (NUL)
// in the field. Received titles are read up to the first NUL, so either padding matches.
void WriteTitle(PduBuffer& buffer, const std::string& title) {
    std::array<char, kAETitleLength> field;
    field.fill(' ');
    std::copy_n(title.begin(), std::min(title.size(), field.size()), field.begin());
    buffer.WriteBytes(field.data(), field.size());
}

bool ReadTitle(LimitedReader& reader, std::string& title) {
    return reader.ReadText(title, kAETitleLength, kAETitleLength);
}

}  // namespace

std::string TrimmedTitle(const std::string& title) {
    std::size_t first = title.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return title.substr(first, title.find_last_not_of(' ') - first + 1);
}

template <typename Context, uint8_t Type>
AssociatePdu<Context, Type>::AssociatePdu() {
    SetApplicationContext(kApplicationContextName);
}

template <typename Context, uint8_t Type>
void AssociatePdu<Context, Type>::SetCalledAETitle(const std::string& title) {
    calledAETitle = title.substr(0, kAETitleLength);
}

template <typename Context, uint8_t Type>
void AssociatePdu<Context, Type>::SetCallingAETitle(const std::string& title) {
    callingAETitle = title.substr(0, kAETitleLength);
}

template <typename Context, uint8_t Type>
void AssociatePdu<Context, Type>::SetApplicationContext(const std::string& name) {
    applicationContext.Set(item_type::kApplicationContext, name);
}

template <typename Context, uint8_t Type>
uint32_t AssociatePdu<Context, Type>::ComputeLength() {
    uint32_t length = kAssociateFixedLength + applicationContext.ComputeLength();
    for (Context& context : presentationContexts) length += context.ComputeLength();
    length += userInformation.ComputeLength();
    pduLength = length;
    return length + 6;
}

template <typename Context, uint8_t Type>
bool AssociatePdu<Context, Type>::Write(PduBuffer& buffer) {
    ComputeLength();
    buffer.WriteU8(pduType);
    buffer.WriteU8(reserved1);
    buffer.WriteU32(pduLength);
    buffer.WriteU16(protocolVersion);
    buffer.WriteU16(reserved2);
    WriteTitle(buffer, calledAETitle);
    WriteTitle(buffer, callingAETitle);
    buffer.WriteBytes(reserved3.data(), reserved3.size());
    bool complete = applicationContext.Write(buffer);
    for (Context& context : presentationContexts) complete = complete && context.Write(buffer);
    complete = complete && userInformation.Write(buffer);
    if (!complete) {
        buffer.ClearOutput();
        return false;
    }
    return buffer.Flush();
}

template <typename Context, uint8_t Type>
bool AssociatePdu<Context, Type>::ReadItem(LimitedReader& body, uint8_t type) {
    if (type == item_type::kApplicationContext) return applicationContext.ReadAfterType(body, type);
    if (type == item_type::kUserInformation) return userInformation.Read(body);
    if (type == Context::kItemType) {
        if (presentationContexts.size() >= kMaxPresentationContexts) return false;
        return presentationContexts.emplace_back().Read(body);
    }
    if (Type == pdu_type::kAssociateAC) body.SkipRest();  // keeps the stream at a PDU boundary
    return false;
}

template <typename Context, uint8_t Type>
bool AssociatePdu<Context, Type>::Read(PduBuffer& buffer) {
    presentationContexts.clear();
    userInformation = UserInformation{};
    std::optional<LimitedReader> body = ReadPduBody(buffer, kAssociateFixedLength, reserved1, pduLength);
    if (!body || !body->ReadU16(protocolVersion) || !body->ReadU16(reserved2) ||
        !ReadTitle(*body, calledAETitle) || !ReadTitle(*body, callingAETitle) ||
        !body->ReadBytes(reserved3.data(), reserved3.size()))
        return false;
    while (body->Remaining() > 0) {
        uint8_t type = 0;
        if (!body->ReadU8(type) || !ReadItem(*body, type)) return false;
    }
    return true;
}

template <typename Context, uint8_t Type>
bool AssociatePdu<Context, Type>::ReadWithType(PduBuffer& buffer) {
    return buffer.ReadU8(pduType) && Read(buffer);
}

template class AssociatePdu<PresentationContextRQ, pdu_type::kAssociateRQ>;
template class AssociatePdu<PresentationContextAC, pdu_type::kAssociateAC>;

bool AssociateRJ::Read(PduBuffer& buffer) {
    std::optional<LimitedReader> body = ReadPduBody(buffer, 4, reserved1, pduLength);
    return body && body->ReadU8(reserved2) && body->ReadU8(result) && body->ReadU8(source) &&
           body->ReadU8(reason) && body->SkipRest();
}

bool AssociateRJ::Write(PduBuffer& buffer) const {
    buffer.WriteU8(pduType);
    buffer.WriteU8(reserved1);
    buffer.WriteU32(4);
    buffer.WriteU8(reserved2);
    buffer.WriteU8(result);
    buffer.WriteU8(source);
    buffer.WriteU8(reason);
    return buffer.Flush();
}

bool AssociateRJ::ReadWithType(PduBuffer& buffer) {
    return buffer.ReadU8(pduType) && Read(buffer);
}

}  // namespace pella
