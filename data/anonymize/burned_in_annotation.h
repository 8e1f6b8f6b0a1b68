// Whether an image may show identifying text in its pixels, which no change of attributes
// removes: Burned In Annotation "YES", or no such attribute in a class whose images commonly
// carry text (ultrasound, secondary capture, encapsulated documents).
#pragma once

#include <string_view>

#include "data/model/element_list.h"

namespace pella {

// A class whose objects commonly hold text in their pixels or content.
bool IsCommonlyBurnedInClass(std::string_view sopClassUid);

// True when the data set's pixels may show text: its Burned In Annotation (0028,0301) is "YES",
// or it has none (or an empty one) and its class is one of IsCommonlyBurnedInClass.
bool MayShowBurnedInText(const ElementList& dataSet);

}  // namespace pella
