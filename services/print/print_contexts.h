// Which presentation context a print SOP class travels on: the print meta classes negotiate one
// context that carries their member classes (printer, film session, film box, image box).
#pragma once

#include <string>

#include "net/acse/association.h"

namespace pella {

constexpr const char* kGrayscalePrintMetaSopClass = "1.2.840.10008.5.1.1.9";
constexpr const char* kColorPrintMetaSopClass = "1.2.840.10008.5.1.1.18";

// Members of the Basic Grayscale and the Basic Color Print Management Meta SOP Classes.
bool IsGrayscalePrintClass(const std::string& uid);
bool IsColorPrintClass(const std::string& uid);

// The abstract syntax of the proposed context that carries `sopClass`: a context proposed for
// the class itself, taken at once; otherwise the last proposed meta class the class belongs to;
// otherwise the class itself (which then finds no context).
std::string PrintContextSyntax(const PDU& pdu, const std::string& sopClass);

}  // namespace pella
