// Hand-made bytes of the print exchanges (implicit VR little endian), so that tests see exactly
// what the print user sends and can answer it with anything, conforming or hostile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/dicom_bytes.h"
#include "support/scripted_peer.h"

namespace testing_support {

inline const std::string kImplicitLE = "1.2.840.10008.1.2";

// A UID value padded to even length with a zero byte.
inline std::string PaddedUid(std::string uid) {
    if (uid.size() % 2) uid.push_back('\0');
    return uid;
}

// A command set: elements of group 0000 in the order added, the group length put in front.
class CommandBytes {
public:
    CommandBytes& US(uint16_t element, uint16_t value) {
        body_.U16(0).U16(element).U32(2).U16(value);
        return *this;
    }
    CommandBytes& UI(uint16_t element, const std::string& uid) {
        body_.Implicit(0, element, PaddedUid(uid));
        return *this;
    }
    Bytes Done() const {
        DicomBytes out;
        out.U16(0).U16(0).U32(4).U32(static_cast<uint32_t>(body_.Size())).Raw(body_.Bytes());
        return out.Bytes();
    }

private:
    DicomBytes body_;
};

// An N-* response: Command Field, Message ID Being Responded To, Data Set Type, Status (left
// out when absent) and the Affected SOP Instance UID when given.
inline Bytes NResponse(uint16_t field, uint16_t respondedTo, std::optional<uint16_t> status, bool withDataSet,
                       const std::string& instance = "") {
    CommandBytes c;
    c.US(0x0100, field).US(0x0120, respondedTo).US(0x0800, withDataSet ? 0x0000 : 0x0101);
    if (status) c.US(0x0900, *status);
    if (!instance.empty()) c.UI(0x1000, instance);
    return c.Done();
}

// The item of a Referenced Image Box Sequence: class and instance UID.
inline Bytes ImageBoxItem(const std::string& sopClass, const std::string& sopInstance) {
    DicomBytes b;
    b.Implicit(0x0008, 0x1150, PaddedUid(sopClass)).Implicit(0x0008, 0x1155, PaddedUid(sopInstance));
    return b.Bytes();
}

// The film box response data set with the sequence and its item of defined length.
inline Bytes DefinedReference(const Bytes& item) {
    DicomBytes b;
    b.TagLength(0x2010, 0x0510, static_cast<uint32_t>(item.size() + 8));
    b.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(item.size())).Raw(item);
    return b.Bytes();
}

// The same with undefined lengths and delimiters.
inline Bytes FlatReference(const Bytes& item) {
    DicomBytes b;
    b.TagLength(0x2010, 0x0510, 0xFFFFFFFF).TagLength(0xFFFE, 0xE000, 0xFFFFFFFF).Raw(item);
    b.TagLength(0xFFFE, 0xE00D, 0).TagLength(0xFFFE, 0xE0DD, 0);
    return b.Bytes();
}

constexpr uint8_t kCommandPdv = 0x03;  // command, last fragment
constexpr uint8_t kDataPdv = 0x02;     // data set, last fragment

}  // namespace testing_support
