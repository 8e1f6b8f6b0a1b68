#include "data/dump/memo_dump.h"

#include <cstdio>

#include "data/dictionary/dictionary.h"
#include "data/dump/dump_value_text.h"
#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"

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

bool DumpListToMemo(ElementList& list, const LineSink& memo, bool keepVR) {
    int depth = 0;
    std::string prefix;  // "....." per open item, kept as items open and close
    for (const auto& element : list) {
        memo(prefix + MemoLine(*element, keepVR));
        // Only an undefined-length item is closed by an item delimitation; a defined-length
        // one (even of length 0) opens nothing.
        if (IsTag(*element, 0xFFFE, 0xE000) && element->length == kUndefinedLength) {
            if (depth == kMaxSequenceDepth) {
                LogFailure("the data set nests items deeper than " + std::to_string(kMaxSequenceDepth) +
                           " levels");
                return false;
            }
            ++depth;
            prefix += ".....";
        }
        if (IsTag(*element, 0xFFFE, 0xE00D) && depth > 0) {
            --depth;
            prefix.resize(prefix.size() - 5);
        }
    }
    return true;
}

}  // namespace pella
