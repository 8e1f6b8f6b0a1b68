#include "data/sequence_flattener.h"

namespace pella {

namespace {

bool IsItem(const DataElement& e) { return e.group == 0xFFFE && e.element == 0xE000; }

bool FlattenLevel(ParseState& state, const DataElement& element, ElementList& list, int depth) {
    if (depth > kMaxSequenceDepth) return false;
    list.Append(NewElement(element.group, element.element, kUndefinedLength, nullptr, element.vr));
    if (HasValue(element)) {
        MemorySource source(element.value, static_cast<std::size_t>(element.length));
        while (source.Position() < source.Size()) {
            ElementHeader header;
            if (!ReadElementHeader(state, source, header)) return false;
            ElementPtr inner = ReadElementValue(source, header, /*allowOneShort=*/false);
            if (!inner) return false;
            if ((IsItem(*inner) || VrIs(inner->vr, "SQ")) && HasValue(*inner)) {
                if (!FlattenLevel(state, *inner, list, depth + 1)) return false;
            } else {
                list.Append(std::move(inner));
            }
        }
    }
    bool isSequence = VrIs(element.vr, "SQ");
    list.Append(NewElement(0xFFFE, isSequence ? 0xE0DD : 0xE00D, 0, nullptr, "DL"));
    return true;
}

}  // namespace

bool FlattenSequence(ParseState& state, const DataElement& element, ElementList& list) {
    return FlattenLevel(state, element, list, 1);
}

}  // namespace pella
