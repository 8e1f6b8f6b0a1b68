#include "net/pdu/pdu_control.h"

#include "net/pdu/limited_reader.h"
#include "net/pdu/pdu_limits.h"

namespace pella {

template <uint8_t Type>
bool ReleasePdu<Type>::Write(PduBuffer& buffer) {
    pduLength = 4;
    buffer.WriteU8(pduType);
    buffer.WriteU8(reserved1);
    buffer.WriteU32(pduLength);
    buffer.WriteU32(reserved2);
    return buffer.Flush();
}

template <uint8_t Type>
bool ReleasePdu<Type>::Read(PduBuffer& buffer) {
    std::optional<LimitedReader> body = ReadPduBody(buffer, 4, reserved1, pduLength);
    return body && body->ReadU32(reserved2) && body->SkipRest();
}

template <uint8_t Type>
bool ReleasePdu<Type>::ReadWithType(PduBuffer& buffer) {
    return buffer.ReadU8(pduType) && Read(buffer);
}

template class ReleasePdu<pdu_type::kReleaseRQ>;
template class ReleasePdu<pdu_type::kReleaseRP>;

bool AbortPDU::Write(PduBuffer& buffer) const {
    buffer.WriteU8(pduType);
    buffer.WriteU8(reserved1);
    buffer.WriteU32(pduLength);
    buffer.WriteU8(reserved2);
    buffer.WriteU8(reserved3);
    buffer.WriteU8(source);
    buffer.WriteU8(reason);
    return buffer.Flush();
}

bool AbortPDU::Read(PduBuffer& buffer) {
    std::optional<LimitedReader> body = ReadPduBody(buffer, 4, reserved1, pduLength);
    return body && body->ReadU8(reserved2) && body->ReadU8(reserved3) && body->ReadU8(source) &&
           body->ReadU8(reason) && body->SkipRest();
}

bool EncodePDataHeader(uint8_t* out, uint8_t contextID, uint8_t control, uint32_t fragmentLength) {
    if (fragmentLength > kMaxPduLength - 6) return false;
    auto put32 = [](uint8_t* at, uint32_t v) {
        at[0] = static_cast<uint8_t>(v >> 24);
        at[1] = static_cast<uint8_t>(v >> 16);
        at[2] = static_cast<uint8_t>(v >> 8);
        at[3] = static_cast<uint8_t>(v);
    };
    out[0] = pdu_type::kPDataTF;
    out[1] = 0;
    put32(out + 2, fragmentLength + 6);
    put32(out + 6, fragmentLength + 2);
    out[10] = contextID;
    out[11] = control;
    return true;
}

bool WritePDataHeader(PduBuffer& buffer, uint8_t contextID, uint8_t control, uint32_t fragmentLength) {
    uint8_t header[kPDataHeaderLength];
    if (!EncodePDataHeader(header, contextID, control, fragmentLength)) return false;
    return buffer.WriteBytes(header, sizeof header);
}

bool ReadPDataLength(PduBuffer& buffer, uint32_t& pduLength) {
    uint8_t reserved = 0;
    return ReadPduBody(buffer, 0, reserved, pduLength).has_value();
}

bool ReadPdvHeader(PduBuffer& buffer, uint32_t& pendingLength, PdvHeader& header) {
    header = PdvHeader{};
    if (pendingLength < 6) return false;
    if (!buffer.ReadU32(header.itemLength) || header.itemLength < 2 || header.itemLength > pendingLength - 4)
        return false;
    if (!buffer.ReadU8(header.contextID) || !buffer.ReadU8(header.control)) return false;
    pendingLength -= header.itemLength + 4;
    return true;
}

}  // namespace pella
