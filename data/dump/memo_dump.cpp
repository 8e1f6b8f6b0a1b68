#include "data/dump/memo_dump.h"

#include <cstdio>

#include "data/dictionary/dictionary.h"
#include "data/dump/dump_value_text.h"

namespace pella {

namespace {

bool IsTag(const DataElement& e, uint16_t group, uint16_t element) {
    return e.group == group && e.element == element;
}

std::string TagText(const DataElement& element) {
    char tag[24];
    std::snprintf(tag, sizeof tag, "(%04X, %04X), ", element.group, element.element);
    return tag;
}

std::string MemoLine(DataElement& element, bool keepVR) {
    const char* name = LookupName(element, keepVR);
    std::string vr = DumpVRText(element);
    if (!HasValue(element)) return TagText(element) + vr + " - " + name;
    std::string text = TagText(element) + std::to_string(element.length) + ", " + vr;
    if (element.length >= 256) return text + " - " + name;
    return text + "  \"" + DumpValueText(element) + "\" - " + name;
}

}  // namespace

void DumpListToMemo(ElementList& list, const LineSink& memo, bool keepVR) {
    int depth = 0;
    for (const auto& element : list) {
        std::string prefix;
        for (int i = 0; i < depth; ++i) prefix += ".....";
        memo(prefix + MemoLine(*element, keepVR));
        // Only an undefined-length item is closed by an item delimitation; a defined-length
        // one (even of length 0) opens nothing.
        if (IsTag(*element, 0xFFFE, 0xE000) && element->length == kUndefinedLength) ++depth;
        if (IsTag(*element, 0xFFFE, 0xE00D) && depth > 0) --depth;
    }
}

}  // namespace pella
