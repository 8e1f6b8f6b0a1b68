// The short PDUs: A-RELEASE-RQ and -RP, A-ABORT, and the framing of P-DATA-TF (its header and
// the header of each presentation data value inside it).
#pragma once

#include <cstdint>

#include "net/pdu/pdu_buffer.h"
#include "net/pdu/pdu_records.h"

namespace pella {

// A-ABORT sources and the provider's reasons.
namespace abort_source {
constexpr uint8_t kServiceUser = 0;      // an abort this side decides itself
constexpr uint8_t kServiceProvider = 2;  // a protocol error
}  // namespace abort_source
namespace abort_reason {
constexpr uint8_t kNotSpecified = 0;
constexpr uint8_t kUnrecognizedPdu = 1;
constexpr uint8_t kUnexpectedPdu = 2;
constexpr uint8_t kUnrecognizedParameter = 4;
constexpr uint8_t kUnexpectedParameter = 5;
constexpr uint8_t kInvalidParameterValue = 6;
}  // namespace abort_reason

// A-RELEASE-RQ (05 00 00 00 00 04 00 00 00 00) and A-RELEASE-RP (type 06, same layout).
template <uint8_t Type>
class ReleasePdu {
public:
    virtual ~ReleasePdu() = default;

    uint8_t pduType = Type;
    uint8_t reserved1 = 0;
    uint32_t pduLength = 4;
    uint32_t reserved2 = 0;

    bool Write(PduBuffer& buffer);
    // Reads the PDU after its type byte; the type is not checked, bytes beyond the four
    // reserved ones are skipped, and a length outside 4 bytes to 16 MiB fails.
    bool Read(PduBuffer& buffer);
    bool ReadWithType(PduBuffer& buffer);
};

using ReleaseRQ = ReleasePdu<pdu_type::kReleaseRQ>;
using ReleaseRP = ReleasePdu<pdu_type::kReleaseRP>;

extern template class ReleasePdu<pdu_type::kReleaseRQ>;
extern template class ReleasePdu<pdu_type::kReleaseRP>;

// A-ABORT: 07 00 00 00 00 04 00 00 source reason.
class AbortPDU {
public:
    virtual ~AbortPDU() = default;

    uint8_t pduType = pdu_type::kAbort;
    uint8_t reserved1 = 0;
    uint32_t pduLength = 4;
    uint8_t reserved2 = 0;
    uint8_t reserved3 = 0;
    uint8_t source = abort_source::kServiceUser;
    uint8_t reason = abort_reason::kNotSpecified;

    bool Write(PduBuffer& buffer) const;
    // Reads the PDU after its type byte; bytes beyond the four fields are skipped.
    bool Read(PduBuffer& buffer);
};

// Message control header of a presentation data value.
constexpr uint8_t kPdvCommand = 0x01;  // clear: data set
constexpr uint8_t kPdvLastFragment = 0x02;

// Header bytes of a P-DATA-TF that carries one value: type, reserved, PDU length, item length,
// context ID and control.
constexpr uint32_t kPDataHeaderLength = 12;

// Encodes the 12 header bytes of a P-DATA-TF carrying one value of `fragmentLength` bytes.
// False when the PDU would exceed kMaxPduLength.
bool EncodePDataHeader(uint8_t* out, uint8_t contextID, uint8_t control, uint32_t fragmentLength);

// Writes the header of a P-DATA-TF carrying one value of `fragmentLength` bytes; the caller
// writes the fragment after it. False when the PDU would exceed kMaxPduLength.
bool WritePDataHeader(PduBuffer& buffer, uint8_t contextID, uint8_t control, uint32_t fragmentLength);

// Reads the reserved byte and length that follow a P-DATA-TF's type byte; fails on a length
// above kMaxPduLength.
bool ReadPDataLength(PduBuffer& buffer, uint32_t& pduLength);

struct PdvHeader {
    uint32_t itemLength = 0;  // context ID + control + fragment
    uint8_t contextID = 0;
    uint8_t control = 0;

    uint32_t FragmentLength() const { return itemLength - 2; }
    bool IsCommand() const { return (control & kPdvCommand) != 0; }
    bool IsLast() const { return (control & kPdvLastFragment) != 0; }
};

// Reads the header of the next value in a P-DATA-TF of which `pendingLength` bytes are still
// unread, and lowers pendingLength by the whole value (header and fragment); the caller then
// takes exactly FragmentLength() bytes. Fails when the value is shorter than its context ID and
// control byte or runs past the PDU.
bool ReadPdvHeader(PduBuffer& buffer, uint32_t& pendingLength, PdvHeader& header);

}  // namespace pella
