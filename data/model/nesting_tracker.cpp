#include "data/model/nesting_tracker.h"

namespace pella {

void NestingTracker::Observe(const DataElement& e) {
    bool delimiter = e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
    if (delimiter) {
        if (!open_.empty()) open_.pop_back();
        return;
    }
    if (e.length != kUndefinedLength) return;
    if (e.group == 0xFFFE)
        open_.push_back(Kind::Item);
    else
        open_.push_back(VrIs(e.vr, "SQ") ? Kind::Sequence : Kind::Fragments);
}

}  // namespace pella
