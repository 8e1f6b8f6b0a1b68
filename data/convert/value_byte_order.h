// Reversing binary numbers in values when data move between little and big endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pella.h"

namespace pella {

// Size of the binary numbers a value of this VR holds: 2 for US, SS, AT and OW; 4 for UL, SL,
// FL, OL and OF; 8 for FD, OD, SV, UV and OV; 0 (nothing to reverse) for every other VR.
std::size_t NumberSizeOfVR(const char* vr);

// Reverses the bytes of each `unit`-byte number in `bytes`; a trailing part shorter than one
// number stays as it is. Units of 0 or 1 change nothing.
void ReverseNumbers(uint8_t* bytes, std::size_t size, std::size_t unit);

// Reverses the element's binary numbers in place, by its VR.
void ReverseValueNumbers(DataElement& element);

}  // namespace pella
