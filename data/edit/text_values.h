// Turning a value given as text into the value bytes of an element of a given VR, with the
// VR's rules checked: numbers in range, real dates and times, person names of at most three
// groups of five components, UIDs by the one UID rule, the VR's length limit per value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pella {

// Encodes `text` (values separated by "\" where the VR allows several) as the value of a `vr`
// element, padded to even length (a space, or a zero byte for UI); binary numbers in the byte
// order asked for. False with `error` set when the text breaks the VR, or the VR has no text
// form (OB, OW, SQ, UN, ...).
bool EncodeTextValue(const char* vr, std::string_view text, bool bigEndian, std::vector<uint8_t>& out,
                     std::string& error);

}  // namespace pella
