// The short value and VR texts the element dumps print.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

// Text shown for "Vector!!" values: binary numbers of more than one value.
constexpr const char* kVectorText = "Vector!!";

// The value as the dumps show it (values read as little endian):
// - FL and FD: at most 4 bytes as a 32-bit float ("%5.2f"), longer values "Vector!!";
// - US, SS, UL, SL: one value as a number of the VR's width and sign, more "Vector!!";
// - any other VR: the bytes up to the first zero byte, control characters shown as '.'.
std::string DumpValueText(const DataElement& element);

// The element's VR as up to two printable characters.
std::string DumpVRText(const DataElement& element);

}  // namespace pella
