#include "services/query/query_results.h"

#include <cstring>

#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

// The identifier with every defined-length sequence expanded into the flat list form.
bool Flatten(const ElementList& identifier, bool explicitVR, ElementList& flat) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    for (const auto& item : identifier) {
        const DataElement& e = *item;
        if (VrIs(e.vr, "SQ") && HasValue(e)) {
            if (!FlattenSequence(state, e, flat)) return false;
        } else {
            flat.Append(NewElement(e.group, e.element, e.length, e.value, e.vr));
        }
    }
    return true;
}

// Sets the field the element's tag has at the element's place (top level or step item).
void TakeValue(void* record, QueryLevel level, const DataElement& e, bool inStep) {
    auto fields = QueryFields(level);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QueryField& f = fields[i];
        if (f.group != e.group || f.element != e.element || f.inStep != inStep) continue;
        const char* text = reinterpret_cast<const char*>(e.value);
        SetQueryField(record, level, int(i), text, strnlen(text, std::size_t(e.length)));
    }
}

}  // namespace

void* RecordFromIdentifier(QueryLevel level, const ElementList& identifier, bool explicitVR) {
    ElementList flat;
    if (!Flatten(identifier, explicitVR, flat)) {
        LogFailure("A response identifier could not be decoded");
        return nullptr;
    }
    void* record = NewQueryRecord(level);
    NestingTracker nesting;
    bool inStepSequence = false;  // the top-level element last opened is the step sequence
    for (const auto& item : flat) {
        const DataElement& e = *item;
        bool top = nesting.AtTopLevel();
        bool inStep = inStepSequence && nesting.Depth() == 2;
        if (top) inStepSequence = e.group == kStepSequenceGroup && e.element == kStepSequenceElement;
        nesting.Observe(e);
        if (!HasValue(e) || e.group == 0xFFFE || !(top || inStep)) continue;
        TakeValue(record, level, e, inStep);
    }
    return record;
}

}  // namespace pella
