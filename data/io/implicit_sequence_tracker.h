// Undefined-length UN elements in an explicit data set: sequences whose contents are implicit VR
// little endian up to their closing delimiter. The tracker switches the parse state for those
// contents and back, and marks the element "SQ" so that writers re-encode it correctly. The
// contents get the table's VRs: the data set around them is explicit, and a writer must give
// every element in it a VR that reads back.
#pragma once

#include "data/io/element_header.h"
#include "data/model/element_list.h"

namespace pella {

class ImplicitSequenceTracker {
public:
    // Call for each element read, after its header and before the next header is read.
    void Observe(ParseState& state, DataElement& e);

    // Leaves `state` telling the data set's own encoding, also when the input ended inside
    // such a sequence.
    void End(ParseState& state);

private:
    int depth_ = 0;
    ParseState saved_;
};

}  // namespace pella
