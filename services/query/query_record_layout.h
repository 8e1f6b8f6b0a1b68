// The one description of each query record level: which attribute every position of the
// pella.h record carries and whether it travels inside the worklist's Scheduled Procedure Step
// Sequence item. Identifiers (requests), records filled from responses and the exported field
// descriptions are all driven by it; VR and keyword come from the data dictionary.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pella {

enum class QueryLevel { Study, Series, Image, Worklist, Patient };

// The sequence whose single item holds the worklist's step attributes.
constexpr uint16_t kStepSequenceGroup = 0x0040;
constexpr uint16_t kStepSequenceElement = 0x0100;

// One position of a record (group 0 for the worklist's unused slot, which has no attribute).
struct QueryField {
    uint16_t group;
    uint16_t element;
    bool inStep;          // inside the Scheduled Procedure Step Sequence item
    const char* vr;       // the dictionary's VR ("" for the unused slot)
    const char* keyword;  // the attribute keyword made from the dictionary's name
};

// The positions of the level's record, in record order.
std::span<const QueryField> QueryFields(QueryLevel level);

}  // namespace pella
