// The association PDUs: A-ASSOCIATE-RQ and -AC (one layout, told apart by type and by the kind of
// presentation-context items they carry) and A-ASSOCIATE-RJ. Multi-byte fields go in the
// buffer's write order, which the association sets to big-endian.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/pdu/pdu_buffer.h"
#include "net/pdu/pdu_items.h"

namespace pella {

namespace pdu_type {
constexpr uint8_t kAssociateRQ = 0x01;
constexpr uint8_t kAssociateAC = 0x02;
constexpr uint8_t kAssociateRJ = 0x03;
constexpr uint8_t kPDataTF = 0x04;
constexpr uint8_t kReleaseRQ = 0x05;
constexpr uint8_t kReleaseRP = 0x06;
constexpr uint8_t kAbort = 0x07;
}  // namespace pdu_type

constexpr const char* kApplicationContextName = "1.2.840.10008.3.1.1.1";

// An AE title without its padding spaces, for logs and comparisons.
std::string TrimmedTitle(const std::string& title);

// Bytes of an A-ASSOCIATE PDU after its length field and before its first item.
constexpr uint32_t kAssociateFixedLength = 68;

template <typename Context, uint8_t Type>
class AssociatePdu {
public:
    AssociatePdu();
    virtual ~AssociatePdu() = default;

    uint8_t pduType = Type;
    uint8_t reserved1 = 0;
    uint32_t pduLength = 0;
    uint16_t protocolVersion = 1;
    uint16_t reserved2 = 0;
    std::string calledAETitle;   // at most 16 characters, sent zero-filled, not space-padded
    std::string callingAETitle;  // the same
    std::array<uint8_t, 32> reserved3{};
    SubItem applicationContext;
    std::vector<Context> presentationContexts;
    UserInformation userInformation;

    // Titles longer than 16 characters are cut to 16.
    void SetCalledAETitle(const std::string& title);
    void SetCallingAETitle(const std::string& title);
    void SetApplicationContext(const std::string& name);

    uint32_t ComputeLength();
    // Builds the whole PDU and sends it with one call; false when the send fails or an item is
    // too long for its length field (nothing is sent then).
    bool Write(PduBuffer& buffer);
    // Reads the PDU after its type byte. Fails on a length outside 68 bytes to 16 MiB, on an
    // item that does not fit the PDU, on an unknown item type (in an -AC the rest of the PDU is
    // skipped first), on more than 128 presentation contexts, and when the items do not fill the
    // PDU exactly. Titles keep their padding spaces.
    bool Read(PduBuffer& buffer);
    bool ReadWithType(PduBuffer& buffer);

private:
    bool ReadItem(LimitedReader& body, uint8_t type);
};

using AssociateRQ = AssociatePdu<PresentationContextRQ, pdu_type::kAssociateRQ>;
using AssociateAC = AssociatePdu<PresentationContextAC, pdu_type::kAssociateAC>;

extern template class AssociatePdu<PresentationContextRQ, pdu_type::kAssociateRQ>;
extern template class AssociatePdu<PresentationContextAC, pdu_type::kAssociateAC>;

// A-ASSOCIATE-RJ.
class AssociateRJ {
public:
    virtual ~AssociateRJ() = default;

    uint8_t pduType = pdu_type::kAssociateRJ;
    uint8_t reserved1 = 0;
    uint32_t pduLength = 4;
    uint8_t reserved2 = 0;
    uint8_t result = 1;  // 1 permanent, 2 transient
    uint8_t source = 3;  // 1 service user, 2 ACSE provider, 3 presentation provider
    uint8_t reason = 1;

    bool Write(PduBuffer& buffer) const;
    // Reads the PDU after its type byte; bytes beyond the four fields are skipped.
    bool Read(PduBuffer& buffer);
    bool ReadWithType(PduBuffer& buffer);
};

}  // namespace pella
