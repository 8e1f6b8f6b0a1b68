// Anonymizing one data set held as a flat element list: every attribute at every depth gets the
// profile's action under the options, private attributes go unless kept, group lengths go, and
// the de-identification marks are added. Pixel data and its encoding are left as they are.
#pragma once

#include "data/anonymize/anonymize_options.h"
#include "data/io/element_header.h"
#include "data/model/element_list.h"

namespace pella {

// Moves the elements of `dataSet`, encoded as `encoding` says, into `out` anonymized; `dataSet`
// is left empty. Sequences and items of defined length are walked too (decoded into the flat
// form first), as are sequences hidden in elements of VR UN; one that cannot be decoded is
// left out. False, with the reason noted, when the data set ends inside a sequence or item.
bool AnonymizeDataSet(ElementList& dataSet, const ParseState& encoding, const AnonymizeOptions& options,
                      ElementList& out);

}  // namespace pella
