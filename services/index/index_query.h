// A query of the archive index: the level whose rows are wanted and the keys to match and return,
// each a tag with the value received (empty: universal, returned only).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "services/index/stored_instance.h"

namespace pella {

struct IndexQueryKey {
    uint16_t group;
    uint16_t element;
    std::string value;  // as received, without padding; empty matches everything
    // A key inside the one item of a sequence key names that sequence; 0 for a key of the data
    // set. A sequence key itself has no value of its own and is followed by its item's keys.
    uint16_t sequenceGroup = 0;
    uint16_t sequenceElement = 0;
    bool sequence = false;

    bool InSequence() const { return sequenceGroup != 0; }
};

struct IndexQuery {
    ArchiveLevel level = ArchiveLevel::Study;
    std::vector<IndexQueryKey> keys;
};

// One matching row: the value of each key of the query, in the query's order (empty for a key the
// index does not keep or one below the query's level), and the character set of its values.
struct QueryRow {
    std::vector<std::string> values;
    std::string specificCharacterSet;
};

// Called once per matching row; false stops the query.
using QueryRowVisitor = std::function<bool(const QueryRow&)>;

}  // namespace pella
