#include "net/pdu/pdu_items.h"

#include "net/pdu/pdu_limits.h"

namespace pella {

void WriteItemHeader(PduBuffer& buffer, uint8_t type, uint8_t reserved, uint16_t length) {
    buffer.WriteU8(type);
    buffer.WriteU8(reserved);
    buffer.WriteU16(length);
}

bool FitsItemLength(uint32_t length) {
    return length <= 0xFFFF;
}

// --- SubItem ---

void SubItem::Set(uint8_t type, const std::string& value) {
    itemType = type;
    text = value.substr(0, kMaxSubItemText);
    itemLength = static_cast<uint16_t>(text.size());
}

uint32_t SubItem::ComputeLength() {
    if (text.size() > kMaxSubItemText) text.resize(kMaxSubItemText);
    itemLength = static_cast<uint16_t>(text.size());
    return itemLength + 4u;
}

bool SubItem::Write(PduBuffer& buffer) {
    ComputeLength();
    WriteItemHeader(buffer, itemType, reserved, itemLength);
    buffer.WriteBytes(text.data(), text.size());
    return true;
}

bool SubItem::Read(LimitedReader& reader) {
    uint8_t type = 0;
    return reader.ReadU8(type) && ReadAfterType(reader, type);
}

bool SubItem::ReadAfterType(LimitedReader& reader, uint8_t type) {
    itemType = type;
    return reader.ReadU8(reserved) && reader.ReadU16(itemLength) &&
           reader.ReadText(text, itemLength, kMaxSubItemText);
}

// --- PresentationContextRQ ---

PresentationContextRQ::PresentationContextRQ() {
    abstractSyntax.itemType = item_type::kAbstractSyntax;
}

void PresentationContextRQ::SetAbstractSyntax(const std::string& uid) {
    abstractSyntax.Set(item_type::kAbstractSyntax, uid);
}

void PresentationContextRQ::AddTransferSyntax(const std::string& uid) {
    transferSyntaxes.emplace_back().Set(item_type::kTransferSyntax, uid);
}

uint32_t PresentationContextRQ::ComputeLength() {
    uint32_t length = 4 + abstractSyntax.ComputeLength();
    for (SubItem& syntax : transferSyntaxes) length += syntax.ComputeLength();
    itemLength = static_cast<uint16_t>(length);
    return length + 4;
}

bool PresentationContextRQ::Write(PduBuffer& buffer) {
    if (!FitsItemLength(ComputeLength() - 4)) return false;
    WriteItemHeader(buffer, itemType, reserved, itemLength);
    buffer.WriteU8(contextID);
    buffer.WriteBytes(reserved2, sizeof reserved2);
    if (!abstractSyntax.Write(buffer)) return false;
    for (SubItem& syntax : transferSyntaxes)
        if (!syntax.Write(buffer)) return false;
    return true;
}

bool PresentationContextRQ::Read(LimitedReader& reader) {
    transferSyntaxes.clear();
    if (!reader.ReadU8(reserved) || !reader.ReadU16(itemLength)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(itemLength);
    if (!item || !item->ReadU8(contextID) || !item->ReadBytes(reserved2, sizeof reserved2) ||
        !abstractSyntax.Read(*item))
        return false;
    while (item->Remaining() > 0) {
        if (!transferSyntaxes.emplace_back().Read(*item)) return false;
    }
    return true;
}

// --- PresentationContextAC ---

PresentationContextAC::PresentationContextAC() {
    abstractSyntax.itemType = item_type::kAbstractSyntax;
    transferSyntax.itemType = item_type::kTransferSyntax;
}

void PresentationContextAC::SetAbstractSyntax(const std::string& uid) {
    abstractSyntax.Set(item_type::kAbstractSyntax, uid);
}

void PresentationContextAC::SetTransferSyntax(const std::string& uid) {
    transferSyntax.Set(item_type::kTransferSyntax, uid);
}

uint32_t PresentationContextAC::ComputeLength() {
    itemLength = static_cast<uint16_t>(4 + transferSyntax.ComputeLength());
    return itemLength + 4u;
}

bool PresentationContextAC::Write(PduBuffer& buffer) {
    ComputeLength();
    WriteItemHeader(buffer, itemType, reserved, itemLength);
    buffer.WriteU8(contextID);
    buffer.WriteU8(reserved2);
    buffer.WriteU8(result);
    buffer.WriteU8(reserved3);
    return transferSyntax.Write(buffer);
}

bool PresentationContextAC::Read(LimitedReader& reader) {
    transferSyntax.text.clear();
    if (!reader.ReadU8(reserved) || !reader.ReadU16(itemLength)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(itemLength);
    if (!item || !item->ReadU8(contextID) || !item->ReadU8(reserved2) || !item->ReadU8(result) ||
        !item->ReadU8(reserved3))
        return false;
    if (item->Remaining() > 0 && !transferSyntax.Read(*item)) return false;
    return item->SkipRest();
}

// --- RoleSelection ---

void RoleSelection::Write(PduBuffer& buffer) const {
    WriteItemHeader(buffer, item_type::kRoleSelection, 0, static_cast<uint16_t>(ComputeLength() - 4));
    buffer.WriteU16(static_cast<uint16_t>(sopClass.size()));
    buffer.WriteBytes(sopClass.data(), sopClass.size());
    buffer.WriteU8(scuRole);
    buffer.WriteU8(scpRole);
}

bool RoleSelection::ReadAfterType(LimitedReader& reader) {
    uint8_t reserved = 0;
    uint16_t length = 0, uidLength = 0;
    if (!reader.ReadU8(reserved) || !reader.ReadU16(length)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(length);
    if (!item || !item->ReadU16(uidLength) || uidLength + 4u != length) return false;
    return item->ReadText(sopClass, uidLength, kMaxSubItemText) && item->ReadU8(scuRole) &&
           item->ReadU8(scpRole);
}

// --- UserIdentity ---

void UserIdentity::Write(PduBuffer& buffer) const {
    WriteItemHeader(buffer, item_type::kUserIdentityRQ, 0, static_cast<uint16_t>(ComputeLength() - 4));
    buffer.WriteU8(type);
    buffer.WriteU8(positiveResponseRequested);
    buffer.WriteU16(static_cast<uint16_t>(primaryField.size()));
    buffer.WriteBytes(primaryField.data(), primaryField.size());
    buffer.WriteU16(static_cast<uint16_t>(secondaryField.size()));
    buffer.WriteBytes(secondaryField.data(), secondaryField.size());
}

bool UserIdentity::ReadAfterType(LimitedReader& reader) {
    uint8_t reserved = 0;
    uint16_t length = 0, primaryLength = 0, secondaryLength = 0;
    if (!reader.ReadU8(reserved) || !reader.ReadU16(length)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(length);
    if (!item || !item->ReadU8(type) || !item->ReadU8(positiveResponseRequested) ||
        !item->ReadU16(primaryLength) || !item->ReadText(primaryField, primaryLength, primaryLength))
        return false;
    // Some requestors leave out the secondary field's length when there is no passcode.
    secondaryField.clear();
    if (item->Remaining() > 0 && (!item->ReadU16(secondaryLength) ||
                                  !item->ReadText(secondaryField, secondaryLength, secondaryLength)))
        return false;
    return item->SkipRest();
}

namespace {

// The acceptor's user identity sub-item: the server response after its 16-bit length.
void WriteIdentityResponse(PduBuffer& buffer, const std::string& response) {
    WriteItemHeader(buffer, item_type::kUserIdentityAC, 0, static_cast<uint16_t>(2 + response.size()));
    buffer.WriteU16(static_cast<uint16_t>(response.size()));
    buffer.WriteBytes(response.data(), response.size());
}

bool ReadIdentityResponse(LimitedReader& reader, std::string& response) {
    uint8_t reserved = 0;
    uint16_t length = 0, responseLength = 0;
    if (!reader.ReadU8(reserved) || !reader.ReadU16(length)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(length);
    return item && item->ReadU16(responseLength) &&
           item->ReadText(response, responseLength, responseLength) && item->SkipRest();
}

}  // namespace

// --- UserInformation ---

UserInformation::UserInformation() {
    implementationClassUID.itemType = item_type::kImplementationClassUID;
    implementationVersionName.itemType = item_type::kImplementationVersionName;
}

void UserInformation::SetImplementationClassUID(const std::string& uid) {
    implementationClassUID.Set(item_type::kImplementationClassUID, uid);
}

void UserInformation::SetImplementationVersionName(const std::string& name) {
    implementationVersionName.Set(item_type::kImplementationVersionName, name);
}

uint32_t UserInformation::ComputeLength() {
    uint32_t length = 8 + implementationClassUID.ComputeLength();
    for (const RoleSelection& role : roles) length += role.ComputeLength();
    if (!implementationVersionName.text.empty()) length += implementationVersionName.ComputeLength();
    if (identity) length += identity->ComputeLength();
    if (identityResponse) length += 4u + 2u + static_cast<uint32_t>(identityResponse->size());
    itemLength = static_cast<uint16_t>(length);
    return length + 4;
}

bool UserInformation::Write(PduBuffer& buffer) {
    ComputeLength();
    WriteItemHeader(buffer, itemType, reserved, itemLength);
    WriteItemHeader(buffer, item_type::kMaxLength, maxLengthReserved, 4);
    buffer.WriteU32(maxLength);
    if (!implementationClassUID.Write(buffer)) return false;
    for (const RoleSelection& role : roles) role.Write(buffer);
    if (!implementationVersionName.text.empty() && !implementationVersionName.Write(buffer)) return false;
    if (identity) identity->Write(buffer);
    if (identityResponse) WriteIdentityResponse(buffer, *identityResponse);
    return true;
}

bool UserInformation::Read(LimitedReader& reader) {
    skippedLength = 0;
    roles.clear();
    identity.reset();
    identityResponse.reset();
    if (!reader.ReadU8(reserved) || !reader.ReadU16(itemLength)) return false;
    std::optional<LimitedReader> item = reader.Enclosed(itemLength);
    if (!item) return false;
    while (item->Remaining() > 0) {
        uint8_t type = 0;
        uint32_t left = item->Remaining();
        if (!item->ReadU8(type)) return false;
        bool ok = true;
        switch (type) {
            case item_type::kMaxLength:
                ok = item->ReadU8(maxLengthReserved) && item->ReadU16(maxLengthItemLength) &&
                     maxLengthItemLength == 4 && item->ReadU32(maxLength);
                break;
            case item_type::kImplementationClassUID:
                ok = implementationClassUID.ReadAfterType(*item, type);
                break;
            case item_type::kImplementationVersionName:
                ok = implementationVersionName.ReadAfterType(*item, type);
                break;
            case item_type::kRoleSelection: {
                RoleSelection role;
                ok = role.ReadAfterType(*item);
                // One per proposed context at most is meaningful; more are dropped.
                if (ok && roles.size() < kMaxPresentationContexts) roles.push_back(std::move(role));
                break;
            }
            case item_type::kUserIdentityRQ: {
                UserIdentity read;
                ok = read.ReadAfterType(*item);
                if (ok) identity = std::move(read);
                break;
            }
            case item_type::kUserIdentityAC: {
                std::string response;
                ok = ReadIdentityResponse(*item, response);
                if (ok) identityResponse = std::move(response);
                break;
            }
            default: {
                uint8_t ignored = 0;
                uint16_t length = 0;
                ok = item->ReadU8(ignored) && item->ReadU16(length) && item->Skip(length);
                skippedLength += left - item->Remaining();
                break;
            }
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace pella
