// Which presentation context a print SOP class travels on: the print meta classes negotiate one
// context that carries their member classes (printer, film session, film box, image box).
#pragma once

#include <string>

#include "net/acse/association.h"

namespace pella {

// The abstract syntax of the proposed context that carries `sopClass`: a context proposed for
// the class itself, taken at once; otherwise the last proposed meta class the class belongs to;
// otherwise the class itself (which then finds no context).
std::string PrintContextSyntax(const PDU& pdu, const std::string& sopClass);

}  // namespace pella
