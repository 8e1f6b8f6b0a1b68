#include "net/pdu_control.h"

#include "net/limited_reader.h"
#include "net/pdu_limits.h"

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

bool WritePDataHeader(PduBuffer& buffer, uint8_t contextID, uint8_t control, uint32_t fragmentLength) {
    if (fragmentLength > kMaxPduLength - 6) return false;
    buffer.WriteU8(pdu_type::kPDataTF);
    buffer.WriteU8(0);
    buffer.WriteU32(fragmentLength + 6);
    buffer.WriteU32(fragmentLength + 2);
    buffer.WriteU8(contextID);
    buffer.WriteU8(control);
    return true;
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
