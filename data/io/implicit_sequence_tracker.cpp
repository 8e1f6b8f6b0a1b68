#include "data/io/implicit_sequence_tracker.h"

#include <cstring>

#include "data/dictionary/dictionary.h"

namespace pella {

void ImplicitSequenceTracker::Observe(ParseState& state, DataElement& e) {
    if (depth_ == 0) {
        if (state.explicitVR && !state.metaMode && e.length == kUndefinedLength && VrIs(e.vr, "UN")) {
            std::memcpy(e.vr, "SQ", 2);
            saved_ = state;
            state.explicitVR = false;
            state.bigEndian = false;
            depth_ = 1;
        }
        return;
    }
    bool closes = e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
    if (e.group != 0xFFFE && e.vr[0] == '\0') {
        LookupVR(e);
        // Undefined length: a sequence whose items are read on here. A defined-length
        // sequence keeps its implicit VR value bytes, which is what a UN value holds.
        if (e.length == kUndefinedLength)
            std::memcpy(e.vr, "SQ", 2);
        else if (VrIs(e.vr, "SQ"))
            std::memcpy(e.vr, "UN", 2);
    }
    if (closes) {
        if (--depth_ == 0) {
            state.explicitVR = saved_.explicitVR;
            state.bigEndian = saved_.bigEndian;
        }
    } else if (e.length == kUndefinedLength) {
        ++depth_;
    }
}

void ImplicitSequenceTracker::End(ParseState& state) {
    if (depth_ == 0) return;
    depth_ = 0;
    state.explicitVR = saved_.explicitVR;
    state.bigEndian = saved_.bigEndian;
}

}  // namespace pella
