// The attributes of a film session and a film box as the print user sends them.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "pella.h"

namespace pella {

// Appends the text as a new element; an empty or null text appends nothing. An odd-length text
// is padded with one space.
void AddPrintAttribute(ElementList& list, uint16_t group, uint16_t element, const char* text, const char* vr);

// A density given as text: decimal digits only (no sign, no spaces), 0 to 65535.
bool ParseDensity(const char* text, uint16_t& value);

// Checks what can be checked before any association: Min and Max Density, when given, are
// decimal numbers 0-65535. False with `reason`.
bool CheckFilmBoxParameters(const FilmBoxParameters* filmBox, std::string& reason);

// The film session's attributes in their order; a null record appends nothing.
void AddFilmSessionAttributes(const FilmSessionParameters* filmSession, ElementList& list);

// One image on the film: the Image Display Format sent when the caller gives none.
constexpr const char* kDefaultImageDisplayFormat = "STANDARD\\1,1";

// The film box's eight attributes in their order, Min and Max Density as US numbers (checked
// first by CheckFilmBoxParameters). Image Display Format is always sent (the default when the
// record is null or leaves it empty); the others only when given.
void AddFilmBoxAttributes(const FilmBoxParameters* filmBox, ElementList& list);

}  // namespace pella
