// The items and sub-items inside A-ASSOCIATE-RQ and -AC PDUs: text sub-items, presentation
// contexts as proposed and as answered, and the user information. Each writes itself into a
// PduBuffer (the enclosing PDU sends the whole at once) and reads itself
// from a LimitedReader bounded by the enclosing PDU or item. Lengths count the bytes after the
// length field; ComputeLength returns the whole size on the wire.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/pdu/limited_reader.h"
#include "net/pdu/pdu_buffer.h"

namespace pella {

namespace item_type {
constexpr uint8_t kApplicationContext = 0x10;
constexpr uint8_t kPresentationContextRQ = 0x20;
constexpr uint8_t kPresentationContextAC = 0x21;
constexpr uint8_t kAbstractSyntax = 0x30;
constexpr uint8_t kTransferSyntax = 0x40;
constexpr uint8_t kUserInformation = 0x50;
constexpr uint8_t kMaxLength = 0x51;
constexpr uint8_t kImplementationClassUID = 0x52;
constexpr uint8_t kRoleSelection = 0x54;
constexpr uint8_t kImplementationVersionName = 0x55;
constexpr uint8_t kUserIdentityRQ = 0x58;
constexpr uint8_t kUserIdentityAC = 0x59;
}  // namespace item_type

// A text sub-item: application context, abstract or transfer syntax, implementation class UID
// or version name. The text holds at most 64 characters and is sent unpadded.
class SubItem {
public:
    uint8_t itemType = 0;
    uint8_t reserved = 0;
    uint16_t itemLength = 0;
    std::string text;

    // Sets the type and the text (cut to 64 characters) and its length.
    void Set(uint8_t type, const std::string& value);
    uint32_t ComputeLength();
    bool Write(PduBuffer& buffer);
    // Reads type, reserved, length and text; a text longer than 64 characters is cut.
    bool Read(LimitedReader& reader);
    // The same when the type byte was already read by the caller.
    bool ReadAfterType(LimitedReader& reader, uint8_t type);
};

class PresentationContextRQ {
public:
    static constexpr uint8_t kItemType = item_type::kPresentationContextRQ;

    PresentationContextRQ();
    virtual ~PresentationContextRQ() = default;

    uint8_t itemType = kItemType;
    uint8_t reserved = 0;
    uint16_t itemLength = 0;
    uint8_t contextID = 0;
    uint8_t reserved2[3] = {0, 0, 0};
    SubItem abstractSyntax;
    std::vector<SubItem> transferSyntaxes;

    void SetAbstractSyntax(const std::string& uid);
    void AddTransferSyntax(const std::string& uid);
    uint32_t ComputeLength();
    bool Write(PduBuffer& buffer);
    // Reads the item after its type byte: one abstract syntax, then transfer syntaxes up to the
    // item's end.
    bool Read(LimitedReader& reader);
};

class PresentationContextAC {
public:
    static constexpr uint8_t kItemType = item_type::kPresentationContextAC;

    PresentationContextAC();
    virtual ~PresentationContextAC() = default;

    uint8_t itemType = kItemType;
    uint8_t reserved = 0;
    uint16_t itemLength = 0;
    uint8_t contextID = 0;
    uint8_t reserved2 = 0;
    uint8_t result =
        0;  // 0 acceptance, 1 user rejection, 2 no reason, 3 abstract syntax, 4 transfer syntaxes
    uint8_t reserved3 = 0;
    SubItem abstractSyntax;  // the acceptor's bookkeeping; never written
    SubItem transferSyntax;

    void SetAbstractSyntax(const std::string& uid);
    void SetTransferSyntax(const std::string& uid);
    uint32_t ComputeLength();
    bool Write(PduBuffer& buffer);
    // Reads the item after its type byte. An item without a transfer-syntax sub-item leaves it
    // empty; bytes after the sub-item are skipped.
    bool Read(LimitedReader& reader);
};

// An SCP/SCU role selection sub-item: for one SOP class, the roles its sender proposes for the
// requestor (in a request) or accepts for it (in an answer); 1 means the role is taken.
struct RoleSelection {
    std::string sopClass;
    uint8_t scuRole = 0;
    uint8_t scpRole = 0;

    bool operator==(const RoleSelection&) const = default;
    // The whole sub-item's size on the wire.
    uint32_t ComputeLength() const { return 4u + 2u + static_cast<uint32_t>(sopClass.size()) + 2u; }
    void Write(PduBuffer& buffer) const;
    // Reads the sub-item after its type byte; false when its lengths do not agree.
    bool ReadAfterType(LimitedReader& reader);
};

// The requestor's user identity sub-item: who the user is (type 1 username, 2 username and
// passcode, 3 Kerberos ticket, 4 SAML assertion, 5 JSON web token) and whether the acceptor is to
// confirm it in its answer.
struct UserIdentity {
    static constexpr uint8_t kUsername = 1;
    static constexpr uint8_t kUsernameAndPasscode = 2;

    uint8_t type = kUsername;
    uint8_t positiveResponseRequested = 0;
    std::string primaryField;    // the username (or the ticket, assertion or token)
    std::string secondaryField;  // the passcode; empty for the other types

    bool operator==(const UserIdentity&) const = default;
    // The whole sub-item's size on the wire.
    uint32_t ComputeLength() const {
        return 4u + 2u + 2u + static_cast<uint32_t>(primaryField.size()) + 2u +
               static_cast<uint32_t>(secondaryField.size());
    }
    void Write(PduBuffer& buffer) const;
    // Reads the sub-item after its type byte; false when a field runs past the sub-item's end
    // (bytes after the fields are skipped).
    bool ReadAfterType(LimitedReader& reader);
};

class UserInformation {
public:
    virtual ~UserInformation() = default;

    uint8_t itemType = item_type::kUserInformation;
    uint8_t reserved = 0;
    uint16_t itemLength = 0;
    uint32_t skippedLength = 0;  // bytes of unknown sub-items skipped by the last Read

    // The maximum-length sub-item: the largest P-DATA-TF PDU its sender takes.
    uint8_t maxLengthReserved = 0;
    uint16_t maxLengthItemLength = 4;
    uint32_t maxLength = 0;

    SubItem implementationClassUID;
    SubItem implementationVersionName;  // not written when empty
    std::vector<RoleSelection> roles;   // written after the implementation class UID
    // A request's user identity, written after the roles; none when absent.
    std::optional<UserIdentity> identity;
    // An answer's user identity response (the server response, empty for a username with or
    // without passcode), written last; none when the identity is not confirmed.
    std::optional<std::string> identityResponse;

    UserInformation();
    void SetImplementationClassUID(const std::string& uid);
    void SetImplementationVersionName(const std::string& name);
    uint32_t ComputeLength();
    bool Write(PduBuffer& buffer);
    // Reads the item after its type byte. A sub-item of an unknown type is skipped by its own
    // length (counted in skippedLength); the known ones around it are read.
    bool Read(LimitedReader& reader);
};

// Writes the type, reserved byte and 16-bit length of an item.
void WriteItemHeader(PduBuffer& buffer, uint8_t type, uint8_t reserved, uint16_t length);

// Fits a computed item length into the 16-bit length field, false when it cannot.
bool FitsItemLength(uint32_t length);

}  // namespace pella
