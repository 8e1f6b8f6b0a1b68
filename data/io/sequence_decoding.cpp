#include "data/io/sequence_decoding.h"

#include <string>

#include "data/dictionary/dictionary.h"
#include "data/io/encoded_element.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool ExpandValue(const DataElement& element, ElementList& list, bool explicitVR, bool bigEndian) {
    if (!HasValue(element) || element.value == nullptr) return true;
    MemorySource source(element.value, static_cast<std::size_t>(element.length));
    while (source.Remaining() > 0) {
        ElementPtr inner = ReadEncodedElement(source, explicitVR, bigEndian);
        if (!inner) return false;
        if (!explicitVR) LookupVR(*inner);
        list.Append(std::move(inner));
    }
    return true;
}

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

// Where the flattened elements' values stand in the encoding the element came from.
struct OffsetTrail {
    std::vector<uint64_t>* offsets;  // one per appended element; null when not wanted
    void Add(uint64_t offset) const {
        if (offsets) offsets->push_back(offset);
    }
};

bool FlattenLevel(ParseState& state, const DataElement& element, uint64_t valueOffset, ElementList& list,
                  const OffsetTrail& trail, int depth) {
    if (depth > kMaxSequenceDepth) return false;
    list.Append(NewElement(element.group, element.element, kUndefinedLength, nullptr, element.vr));
    trail.Add(valueOffset);
    if (HasValue(element)) {
        MemorySource source(element.value, static_cast<std::size_t>(element.length));
        while (source.Position() < source.Size()) {
            ElementHeader header;
            if (!ReadElementHeader(state, source, header)) return false;
            uint64_t innerOffset = valueOffset + source.Position();
            ElementPtr inner = ReadElementValue(source, header, /*allowOneShort=*/false);
            if (!inner) return false;
            if ((IsItem(*inner) || VrIs(inner->vr, "SQ")) && HasValue(*inner)) {
                if (!FlattenLevel(state, *inner, innerOffset, list, trail, depth + 1)) return false;
            } else {
                list.Append(std::move(inner));
                trail.Add(innerOffset);
            }
        }
    }
    bool isSequence = VrIs(element.vr, "SQ");
    list.Append(NewElement(0xFFFE, isSequence ? 0xE0DD : 0xE00D, 0, nullptr, "DL"));
    trail.Add(valueOffset + static_cast<uint64_t>(element.length > 0 ? element.length : 0));
    return true;
}

}  // namespace

bool dictionary::Exp_One_SQ(const DataElement& element, ElementList& list, bool explicitVR, bool bigEndian) {
    if (LogLevel() > 1) WriteLogLine("dictionary::Exp_One_SQ::tag->length=" + std::to_string(element.length));
    bool ok = ExpandValue(element, list, explicitVR, bigEndian);
    if (LogLevel() > 1) WriteLogLine("dictionary::Exp_One_SQ::out->Count=" + std::to_string(list.size()));
    return ok;
}

bool FlattenSequence(ParseState& state, const DataElement& element, ElementList& list,
                     std::vector<uint64_t>* offsets, uint64_t valueOffset) {
    return FlattenLevel(state, element, valueOffset, list, OffsetTrail{offsets}, 1);
}

bool FlattenDataSet(const ElementList& dataSet, bool explicitVR, ElementList& flat) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    for (const auto& item : dataSet) {
        const DataElement& e = *item;
        if (VrIs(e.vr, "SQ") && HasValue(e)) {
            if (!FlattenSequence(state, e, flat)) return false;
        } else {
            flat.Append(NewElement(e.group, e.element, e.length, e.value, e.vr));
        }
    }
    return true;
}

}  // namespace pella
