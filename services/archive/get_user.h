// The C-GET user: asks an archive for the objects an identifier selects and receives them on
// the same association, filing each below a folder as the storage server files what it
// receives.
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "services/query/move.h"

namespace pella {

struct GetTarget {
    std::string host;
    std::string port;
    std::string calling;  // empty: the default title, which is then left here
    std::string called;
    std::string sopClass;  // the GET class of the information model (Patient or Study Root)
    std::string outDir;    // objects go to <outDir>/<Study>/<Series>/<SOP>.dcm, indexed there
};

// The storage contexts proposed with the provider's role: every storage class of the standard
// in use (the original table's first), as many as fit beside the GET context, each with the
// uncompressed little-endian syntaxes (an archive converts what it holds compressed).
std::vector<ProposedContext> GetStorageContexts();

// Association (the GET context, the storage contexts and a role selection item for each),
// request, the objects and responses as they come, release. Returns the final status, or -1
// when the association, the request or a response failed (logged); `counts` gets the last
// response's counts.
int32_t GetObjects(GetTarget& target, const ElementList& identifier, MoveCounts& counts);

}  // namespace pella
