// Builders of PDUs as bytes, shared by the PDU tests.
#pragma once

#include <string>
#include <vector>

#include "support/dicom_bytes.h"

namespace pdu_test {

using testing_support::DicomBytes;

inline DicomBytes Big() {
    return DicomBytes(true);
}

// A text sub-item: type, reserved, 16-bit length, text.
inline std::vector<uint8_t> TextSubItem(uint8_t type, const std::string& text) {
    return Big().Byte(type).Byte(0).U16(static_cast<uint16_t>(text.size())).Text(text).Bytes();
}

// A 16-byte AE title field, padded with spaces.
inline std::string Title(const std::string& title) {
    std::string field = title;
    field.resize(16, ' ');
    return field;
}

// An item: type, reserved, 16-bit length of `body`, body.
inline std::vector<uint8_t> Item(uint8_t type, const std::vector<uint8_t>& body) {
    return Big().Byte(type).Byte(0).U16(static_cast<uint16_t>(body.size())).Raw(body).Bytes();
}

inline std::vector<uint8_t> ProposedContext(uint8_t id, const std::string& abstractSyntax,
                                            const std::vector<std::string>& transferSyntaxes) {
    DicomBytes body = Big().Byte(id).Byte(0).Byte(0).Byte(0).Raw(TextSubItem(0x30, abstractSyntax));
    for (const std::string& ts : transferSyntaxes) body.Raw(TextSubItem(0x40, ts));
    return Item(0x20, body.Bytes());
}

inline std::vector<uint8_t> AnsweredContext(uint8_t id, uint8_t result, const std::string& transferSyntax) {
    return Item(0x21,
                Big().Byte(id).Byte(0).Byte(result).Byte(0).Raw(TextSubItem(0x40, transferSyntax)).Bytes());
}

inline std::vector<uint8_t> MaxLength(uint32_t value) {
    return Big().Byte(0x51).Byte(0).U16(4).U32(value).Bytes();
}

// The user information item of this system: maximum length, class UID, optional version name.
inline std::vector<uint8_t> UserInfo(const std::string& versionName = "orvexStation") {
    DicomBytes body = Big().Raw(MaxLength(16384)).Raw(TextSubItem(0x52, "1.2.826.0.1.3680043.2.7777.999"));
    if (!versionName.empty()) body.Raw(TextSubItem(0x55, versionName));
    return Item(0x50, body.Bytes());
}

// A whole A-ASSOCIATE PDU of the given type around `items` (the application context first).
inline std::vector<uint8_t> Associate(uint8_t type, const std::string& called, const std::string& calling,
                                      const std::vector<std::vector<uint8_t>>& items) {
    DicomBytes body = Big().U16(1).U16(0).Text(Title(called)).Text(Title(calling));
    for (int i = 0; i < 32; ++i) body.Byte(0);
    body.Raw(TextSubItem(0x10, "1.2.840.10008.3.1.1.1"));
    for (const auto& item : items) body.Raw(item);
    return Big().Byte(type).Byte(0).U32(static_cast<uint32_t>(body.Size())).Raw(body.Bytes()).Bytes();
}

}  // namespace pdu_test
