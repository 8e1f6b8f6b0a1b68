#include "data/model/element_list.h"

#include "data/model/nesting_tracker.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace pella {

void ElementDeleter::operator()(DataElement* element) const noexcept {
    if (element == nullptr) return;
    std::free(element->value);
    std::free(element);
}

ElementPtr NewElementToFill(uint32_t group, uint32_t element, int32_t length, const char* vr) {
    if (length < kUndefinedLength) throw std::invalid_argument("negative element length");
    auto* raw = static_cast<DataElement*>(std::calloc(1, sizeof(DataElement)));
    if (raw == nullptr) throw std::bad_alloc();
    ElementPtr out(raw);
    out->group = static_cast<uint16_t>(group & 0xFFFF);
    out->element = static_cast<uint16_t>(element & 0xFFFF);
    out->length = length;
    if (vr != nullptr) {
        out->vr[0] = vr[0];
        if (vr[0] != '\0') out->vr[1] = vr[1];
    }
    if (length > 0) {
        out->value = static_cast<uint8_t*>(std::malloc(static_cast<std::size_t>(length)));
        if (out->value == nullptr) throw std::bad_alloc();
    }
    return out;
}

ElementPtr NewElement(uint32_t group, uint32_t element, int32_t length, const void* value, const char* vr) {
    ElementPtr out = NewElementToFill(group, element, length, vr);
    if (length > 0) {
        if (value != nullptr)
            std::memcpy(out->value, value, static_cast<std::size_t>(length));
        else
            std::memset(out->value, 0, static_cast<std::size_t>(length));
    }
    return out;
}

DataElement* FindElement(const ElementList& list, uint16_t group, uint16_t element) {
    NestingTracker nesting;
    for (const auto& e : list) {
        if (nesting.AtTopLevel() && e->group == group && e->element == element) return e.get();
        nesting.Observe(*e);
    }
    return nullptr;
}

DataElement* FindNestedElement(const ElementList& list, uint16_t group, uint16_t element) {
    for (const auto& e : list)
        if (e->group == group && e->element == element) return e.get();
    return nullptr;
}

bool SequencesClosed(const ElementList& list) {
    NestingTracker nesting;
    for (const auto& e : list) nesting.Observe(*e);
    return nesting.AtTopLevel();
}

uint16_t GetElementUS(const ElementList& list, uint16_t group, uint16_t element) {
    const DataElement* e = FindElement(list, group, element);
    if (e == nullptr || e->length < 2) return 0;
    return static_cast<uint16_t>(e->value[0] | (e->value[1] << 8));
}

namespace {

std::string TrimControlAndSpace(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

}  // namespace

std::string GetElementText(const ElementList& list, uint16_t group, uint16_t element) {
    const DataElement* e = FindElement(list, group, element);
    return e == nullptr ? "" : ElementText(*e);
}

std::string ElementText(const DataElement& e) {
    if (!HasValue(e)) return "";
    const uint16_t group = e.group, element = e.element;
    if (group == 0x0028 && (element == 0x0010 || element == 0x0011)) {
        if (e.length < 2) return "";
        return std::to_string(static_cast<unsigned>(e.value[0] | (e.value[1] << 8)));
    }
    const char* bytes = reinterpret_cast<const char*>(e.value);
    std::string text(bytes, strnlen(bytes, static_cast<std::size_t>(e.length)));
    if (group == 0x0010 && element == 0x0010)
        for (char& c : text)
            if (c == ',') c = '^';
    return TrimControlAndSpace(text);
}

bool VrIs(const char* vr, const char* name) {
    return vr[0] == name[0] && vr[1] == name[1];
}

bool IsLongFormVR(const char* vr) {
    static const char* const kLongForm[] = {"OB", "OW", "SQ", "UN", "UT", "OF", "OD",
                                            "OL", "OV", "UC", "UR", "SV", "UV"};
    for (const char* name : kLongForm)
        if (VrIs(vr, name)) return true;
    return false;
}

bool IsKnownVR(const char* vr) {
    static const char* const kShortForm[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO",
                                             "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};
    for (const char* name : kShortForm)
        if (VrIs(vr, name)) return true;
    return IsLongFormVR(vr);
}

bool IsDelimiter(const DataElement& e) {
    return e.group == 0xFFFE || VrIs(e.vr, "DL");
}

HeaderForm EncodedHeaderForm(const DataElement& e, bool explicitVR) {
    HeaderForm form;
    form.withVR = e.group == 0x0002 || (explicitVR && !IsDelimiter(e));
    if (!form.withVR) return form;
    bool fitsShortLength = e.length >= 0 && e.length <= 0xFFFF;
    if (!IsKnownVR(e.vr) || (!IsLongFormVR(e.vr) && !fitsShortLength)) {
        form.vr[0] = 'U';
        form.vr[1] = 'N';
    } else {
        form.vr[0] = e.vr[0];
        form.vr[1] = e.vr[1];
    }
    form.longLength = IsLongFormVR(form.vr);
    return form;
}

uint32_t EncodedHeaderSize(const DataElement& e, bool explicitVR) {
    HeaderForm form = EncodedHeaderForm(e, explicitVR);
    return form.withVR && form.longLength ? 12 : 8;
}

uint64_t EncodedListLength(const ElementList& list, bool explicitVR) {
    uint64_t total = 0;
    for (const auto& e : list) {
        total += EncodedHeaderSize(*e, explicitVR);
        if (HasValue(*e)) total += static_cast<uint64_t>(e->length);
    }
    return total;
}

void CopyElements(ElementList& destination, const ElementList& source) {
    for (const auto& e : source)
        destination.Append(NewElement(e->group, e->element, e->length, e->value, e->vr));
}

void ClearTags(ElementList& list) {
    list.items.clear();
}

}  // namespace pella
