#include "data/edit/group_lengths.h"

#include "data/edit/flat_levels.h"
#include "data/io/converted_output.h"

namespace pella {

namespace {

bool HasGroupLengths(const ElementList& list) {
    for (std::size_t at = 0; at < list.size(); at = ExtentEnd(list, at)) {
        if (list[at].group == 0x7FE0 && list[at].element == 0x0010) return false;
        if (list[at].element == 0x0000 && list[at].group != 0xFFFE) return true;
    }
    return false;
}

}  // namespace

void RefreshGroupLengths(ElementList& list, bool explicitVR, bool bigEndian) {
    if (!HasGroupLengths(list)) return;
    ElementList refreshed;
    refreshed.items.reserve(list.size());
    ConvertedOutput out(refreshed, explicitVR, bigEndian);
    NestingTracker nesting;
    for (auto& element : list.items) {
        bool pixelData = nesting.AtTopLevel() && element->group == 0x7FE0 && element->element == 0x0010;
        nesting.Observe(*element);
        if (pixelData) out.PixelDataPassed();  // as the converter does: lengths end before them
        out.Append(std::move(element));
    }
    out.Finish();
    list.items.swap(refreshed.items);
}

}  // namespace pella
