#include "imaging/lookup_table.h"

#include <algorithm>
#include <cmath>

#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"

namespace pella {

namespace {

bool IsItemStart(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

ElementPtr Copy(const DataElement& e) {
    return NewElement(e.group, e.element, e.length, e.value, e.vr);
}

// The elements directly inside the item that starts at `from` of a flat list: what follows it up
// to its own delimiter, nested sequences included.
void TakeItemContent(const ElementList& flat, std::size_t from, ElementList& item) {
    NestingTracker nesting;
    nesting.Observe(flat[from]);
    for (std::size_t i = from + 1; i < flat.size() && !nesting.AtTopLevel(); ++i) {
        nesting.Observe(flat[i]);
        if (!nesting.AtTopLevel()) item.Append(Copy(flat[i]));
    }
}

// A defined-length sequence or item in the flat form, decoded as explicit VR little endian when
// that reads it whole, else as implicit VR.
ElementList Flattened(const DataElement& element) {
    for (bool explicitVR : {true, false}) {
        ParseState state;
        state.metaMode = false;
        state.explicitVR = explicitVR;
        ElementList flat;
        if (FlattenSequence(state, element, flat)) return flat;
    }
    return {};
}

bool FirstItem(const ElementList& list, uint16_t group, uint16_t element, ElementList& item) {
    NestingTracker nesting;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DataElement& e = list[i];
        bool match = nesting.AtTopLevel() && e.group == group && e.element == element;
        nesting.Observe(e);
        if (!match) continue;
        if (HasValue(e)) {
            ElementList flat = Flattened(e);
            if (flat.size() > 1 && IsItemStart(flat[1])) TakeItemContent(flat, 1, item);
        } else if (i + 1 < list.size() && IsItemStart(list[i + 1])) {
            const DataElement& start = list[i + 1];
            if (HasValue(start)) {
                ElementList flat = Flattened(start);
                if (!flat.empty()) TakeItemContent(flat, 0, item);
            } else if (start.length == kUndefinedLength) {
                TakeItemContent(list, i + 1, item);
            }
        }
        return !item.empty();
    }
    return false;
}

uint16_t Word(const DataElement& e, std::size_t index) {
    return static_cast<uint16_t>(e.value[2 * index] | (e.value[2 * index + 1] << 8));
}

}  // namespace

uint16_t LookupTable::At(double input) const {
    double index = std::floor(input) - static_cast<double>(firstMapped);
    if (!(index > 0)) return entries.front();
    if (index >= static_cast<double>(entries.size() - 1)) return entries.back();
    return entries[static_cast<std::size_t>(index)];
}

bool ReadLookupTable(const ElementList& list, uint16_t group, uint16_t element, bool signedInput,
                     LookupTable& table) {
    ElementList item;
    if (!FirstItem(list, group, element, item)) return false;
    const DataElement* descriptor = FindElement(item, 0x0028, 0x3002);
    const DataElement* data = FindElement(item, 0x0028, 0x3006);
    if (descriptor == nullptr || data == nullptr || descriptor->length != 6 || !HasValue(*data)) return false;
    uint32_t count = Word(*descriptor, 0) == 0 ? 65536 : Word(*descriptor, 0);
    uint16_t first = Word(*descriptor, 1);
    bool signedFirst = VrIs(descriptor->vr, "SS") || (!VrIs(descriptor->vr, "US") && signedInput);
    table.firstMapped = signedFirst ? int64_t{static_cast<int16_t>(first)} : int64_t{first};
    table.bits = Word(*descriptor, 2);
    if (table.bits < 1 || table.bits > 16) return false;
    auto length = static_cast<std::size_t>(data->length);
    table.entries.clear();
    if (length >= 2 * std::size_t{count}) {
        for (std::size_t i = 0; i < count; ++i) table.entries.push_back(Word(*data, i));
    } else if (table.bits <= 8 && length >= count) {  // one byte per entry
        table.entries.assign(data->value, data->value + count);
    } else {
        return false;
    }
    uint16_t top = static_cast<uint16_t>((uint32_t{1} << table.bits) - 1);
    for (uint16_t& entry : table.entries) entry = std::min(entry, top);
    return true;
}

}  // namespace pella
