// Builds encoded DICOM bytes by hand, so that tests can make exactly the input they need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class DicomBytes {
public:
    explicit DicomBytes(bool bigEndian = false) : bigEndian_(bigEndian) {}

    DicomBytes& U16(uint16_t v) {
        if (bigEndian_) {
            Byte(v >> 8).Byte(v & 0xFF);
        } else {
            Byte(v & 0xFF).Byte(v >> 8);
        }
        return *this;
    }
    DicomBytes& U32(uint32_t v) {
        if (bigEndian_) {
            U16(static_cast<uint16_t>(v >> 16)).U16(static_cast<uint16_t>(v));
        } else {
            U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
        }
        return *this;
    }
    DicomBytes& Byte(unsigned v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    DicomBytes& Text(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    DicomBytes& Raw(const std::vector<uint8_t>& b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    // Explicit VR element with a 16-bit length (or 32-bit for long-form VRs).
    DicomBytes& Explicit(uint16_t g, uint16_t e, const std::string& vr, const std::string& value) {
        U16(g).U16(e).Text(vr);
        static const std::string kLongForm = "OB OW SQ UN UT OF OD OL OV UC UR SV UV";
        bool longForm = kLongForm.find(vr) != std::string::npos;
        if (longForm) {
            U16(0).U32(static_cast<uint32_t>(value.size()));
        } else {
            U16(static_cast<uint16_t>(value.size()));
        }
        return Text(value);
    }
    DicomBytes& Implicit(uint16_t g, uint16_t e, const std::string& value) {
        return U16(g).U16(e).U32(static_cast<uint32_t>(value.size())).Text(value);
    }
    // Tag and 32-bit length only, for items and delimiters or a lying length.
    DicomBytes& TagLength(uint16_t g, uint16_t e, uint32_t length) { return U16(g).U16(e).U32(length); }
    // Switches byte order for what follows (the meta group is always little endian).
    DicomBytes& BigEndian(bool on) {
        bigEndian_ = on;
        return *this;
    }

    std::size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    bool bigEndian_;
    std::vector<uint8_t> bytes_;
};

// 128 zero bytes and "DICM".
inline DicomBytes Preamble() {
    DicomBytes b;
    for (int i = 0; i < 128; ++i) b.Byte(0);
    b.Text("DICM");
    return b;
}

// A meta group in explicit VR little endian with group length, version and transfer syntax.
inline std::vector<uint8_t> MetaGroup(const std::string& transferSyntax) {
    std::string ts = transferSyntax;
    if (ts.size() % 2) ts.push_back('\0');
    DicomBytes body;
    body.Explicit(0x0002, 0x0001, "OB", std::string("\0\1", 2));
    body.Explicit(0x0002, 0x0002, "UI", std::string("1.2.840.10008.5.1.4.1.1.7\0", 26));
    body.Explicit(0x0002, 0x0010, "UI", ts);
    body.Explicit(0x0002, 0x0012, "UI", std::string("1.2.3.4\0", 8));
    DicomBytes group;
    group.U16(0x0002).U16(0x0000).Text("UL").U16(4).U32(static_cast<uint32_t>(body.Size()));
    group.Raw(body.Bytes());
    return group.Bytes();
}

// An explicit VR little endian file that opens a sequence sent as UN with undefined length
// (0009,1010), whose contents are implicit: an undefined-length item holding (0008,1150) "1.2".
// The caller closes item and sequence (or not) and goes on.
inline DicomBytes UnSequenceFileStart() {
    DicomBytes file = Preamble();
    file.Raw(MetaGroup("1.2.840.10008.1.2.1"));
    file.U16(0x0009).U16(0x1010).Text("UN").U16(0).U32(0xFFFFFFFF);
    file.TagLength(0xFFFE, 0xE000, 0xFFFFFFFF);
    file.Implicit(0x0008, 0x1150, std::string("1.2\0", 4));
    return file;
}

// Items of defined length nested `depth` deep, for tests of hostile nesting.
inline std::vector<uint8_t> NestedItems(int depth) {
    std::vector<uint8_t> inner;
    for (int level = 0; level < depth; ++level) {
        DicomBytes wrap;
        wrap.TagLength(0xFFFE, 0xE000, static_cast<uint32_t>(inner.size())).Raw(inner);
        inner = wrap.Bytes();
    }
    return inner;
}

}  // namespace testing_support
