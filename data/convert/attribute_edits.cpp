#include "data/convert/attribute_edits.h"

namespace pella {

void AttributeEdits::Set(uint16_t group, uint16_t element, std::vector<ElementPtr> elements) {
    edits_[uint32_t{group} << 16 | element] = std::move(elements);
}

void AttributeEdits::SetText(uint16_t group, uint16_t element, const char* vr, std::string text) {
    if (text.size() % 2) text.push_back(VrIs(vr, "UI") ? '\0' : ' ');
    std::vector<ElementPtr> elements;
    elements.push_back(NewElement(group, element, static_cast<int32_t>(text.size()), text.data(), vr));
    Set(group, element, std::move(elements));
}

void AttributeEdits::SetUS(uint16_t group, uint16_t element, uint16_t value, bool bigEndian) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    if (bigEndian) std::swap(bytes[0], bytes[1]);
    std::vector<ElementPtr> elements;
    elements.push_back(NewElement(group, element, 2, bytes, "US"));
    Set(group, element, std::move(elements));
}

bool AttributeEdits::Before(uint32_t tag, ConvertedOutput& out) {
    while (!edits_.empty() && edits_.begin()->first <= tag) {
        auto node = edits_.extract(edits_.begin());
        for (ElementPtr& e : node.mapped()) out.Append(std::move(e));
        if (node.key() == tag) return true;
    }
    return false;
}

void AttributeEdits::Finish(ConvertedOutput& out) {
    Before(UINT32_MAX, out);
}

}  // namespace pella
