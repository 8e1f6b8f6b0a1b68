#include "data/io/element_header.h"

#include <cstring>
#include <string_view>

#include "data/registry/uid.h"

namespace pella {

namespace {

bool ReadU16(ByteSource& source, bool bigEndian, uint16_t& out) {
    uint8_t b[2];
    if (source.Read(b, 2) != 2) return false;
    out = bigEndian ? static_cast<uint16_t>((b[0] << 8) | b[1]) : static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ReadU32(ByteSource& source, bool bigEndian, uint32_t& out) {
    uint8_t b[4];
    if (source.Read(b, 4) != 4) return false;
    out = bigEndian ? (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]
                    : (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
    return true;
}

// Lengths above the signed range (other than the undefined length) cannot belong to any
// file this library reads; they are refused rather than wrapped into negative numbers.
bool StoreLength(uint32_t raw, ElementHeader& header) {
    if (raw == 0xFFFFFFFFu) {
        header.length = kUndefinedLength;
        return true;
    }
    if (raw > 0x7FFFFFFFu) return false;
    header.length = static_cast<int32_t>(raw);
    return true;
}

}  // namespace

std::string UidText(const uint8_t* value, int32_t length) {
    if (value == nullptr || length <= 0) return "";
    std::string_view text(reinterpret_cast<const char*>(value), static_cast<std::size_t>(length));
    return std::string(WithoutUidPadding(text));
}

std::string ElementUid(const ElementList& list, uint16_t group, uint16_t element) {
    const DataElement* e = FindElement(list, group, element);
    return e != nullptr && HasValue(*e) ? UidText(e->value, e->length) : "";
}

void ApplyTransferSyntax(ParseState& state, const std::string& uid) {
    // Unknown syntaxes read as explicit VR little endian, as every later one is.
    TransferSyntax syntax(uid);
    state.explicitVR = syntax.ExplicitVR();
    state.bigEndian = syntax.BigEndian();
}

bool ReadElementHeader(ParseState& state, ByteSource& source, ElementHeader& header) {
    bool tagBigEndian = !state.metaMode && state.bigEndian;
    if (!ReadU16(source, tagBigEndian, header.group)) return false;
    if (!ReadU16(source, tagBigEndian, header.element)) return false;
    if (state.metaMode && header.group > 2) state.metaMode = false;
    bool lengthBigEndian = !state.metaMode && state.bigEndian;

    bool implicitGroup = header.group == 0xFFFE || (state.implicitCommandGroup && header.group == 0x0000);
    bool explicitHeader = (state.explicitVR && !implicitGroup) || state.metaMode;
    if (!explicitHeader) {
        uint32_t raw = 0;
        return ReadU32(source, lengthBigEndian, raw) && StoreLength(raw, header);
    }
    uint8_t vr[2];
    if (source.Read(vr, 2) != 2) return false;
    header.vr[0] = static_cast<char>(vr[0]);
    header.vr[1] = static_cast<char>(vr[1]);
    if (IsLongFormVR(header.vr)) {
        uint8_t reserved[2];
        uint32_t raw = 0;
        return source.Read(reserved, 2) == 2 && ReadU32(source, lengthBigEndian, raw) &&
               StoreLength(raw, header);
    }
    uint16_t shortLength = 0;
    if (!ReadU16(source, lengthBigEndian, shortLength)) return false;
    header.length = shortLength;
    // An explicit short header whose length is 0 at (0002,0000) or (0002,0001) is really an
    // implicit 32-bit length whose low byte stood where the VR was read: the meta group (and
    // so the whole stream) is implicit VR little endian.
    if (header.group == 0x0002 && header.element <= 0x0001 && shortLength == 0) {
        header.length = vr[0];
        header.vr[0] = header.vr[1] = '\0';
        state.explicitVR = false;
        state.metaMode = false;
        return true;
    }
    // Bytes that are no VR keep their 16-bit length and read as UN, so that they can never pass
    // for the delimiters' pseudo-VR "DL" or another code the writers would encode differently.
    if (!IsKnownVR(header.vr)) {
        std::memcpy(header.vr, "UN", 2);
        ++state.unknownVRs;
    }
    return true;
}

ElementPtr ReadElementValue(ByteSource& source, const ElementHeader& header, bool allowOneShort) {
    if (header.length > 0) {
        // Checked before allocating, so a lying length never costs more than the input holds.
        uint64_t wanted = static_cast<uint64_t>(header.length);
        uint64_t remaining = source.Remaining();
        if (wanted > remaining && !(allowOneShort && wanted == remaining + 1)) return nullptr;
    }
    ElementPtr element = NewElementToFill(header.group, header.element, header.length, header.vr);
    if (header.length <= 0) return element;
    uint64_t wanted = static_cast<uint64_t>(header.length);
    std::size_t got = source.Read(element->value, static_cast<std::size_t>(wanted));
    if (got + 1 < wanted || (got + 1 == wanted && !allowOneShort)) return nullptr;
    if (got + 1 == wanted) element->value[got] = 0;  // the missing last byte reads as zero
    return element;
}

}  // namespace pella
