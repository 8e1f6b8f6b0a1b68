// The one element-header reader, with the small parse state that steers it.
#pragma once

#include <cstdint>
#include <string>

#include "data/io/byte_source.h"
#include "data/model/element_list.h"
#include "data/registry/transfer_syntaxes.h"

namespace pella {

struct ParseState {
    bool metaMode = true;               // reading the file meta group: always explicit VR little endian
    bool explicitVR = true;             // headers outside the meta group carry a VR
    bool bigEndian = false;             // tags and lengths outside the meta group are big endian
    bool implicitCommandGroup = false;  // group 0000 headers carry no VR (command sets never do)
    int unknownVRs = 0;                 // explicit headers so far whose VR bytes were no VR
};

struct ElementHeader {
    uint16_t group = 0;
    uint16_t element = 0;
    char vr[4] = {0, 0, 0, 0};  // left as set by the caller when the header is implicit
    int32_t length = 0;         // -1 for the undefined length
};

// A UID value as text: the whole value without its one padding byte (a trailing zero byte or
// space). Nothing is cut at an inner zero byte, so IsValidUid sees what follows it and refuses.
std::string UidText(const uint8_t* value, int32_t length);

// The UID text of a top-level element of `list`; empty when absent or without a value.
std::string ElementUid(const ElementList& list, uint16_t group, uint16_t element);

// Sets explicitVR and bigEndian from a transfer syntax UID; unknown UIDs read as explicit VR
// little endian.
void ApplyTransferSyntax(ParseState& state, const std::string& transferSyntaxUid);

// Reads one header. False when the source ends inside it, or when a defined length does not
// fit the signed 32-bit length of an element. An explicit VR that is none of the standard's is
// read with a 16-bit length and given as "UN".
bool ReadElementHeader(ParseState& state, ByteSource& source, ElementHeader& header);

// Reads `length` value bytes into a new element. The value must fit in what remains of the
// source; with `allowOneShort` a value missing only its last byte is accepted, that byte zero.
// Returns null when the value does not fit.
ElementPtr ReadElementValue(ByteSource& source, const ElementHeader& header, bool allowOneShort);

}  // namespace pella
