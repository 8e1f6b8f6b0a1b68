// The VR an element's value is written in: its own when it carries a standard one, otherwise
// the dictionary's (an implicit data set, or an element read with an unknown VR).
#pragma once

#include <string_view>

#include "data/dictionary/dictionary.h"
#include "data/model/element_list.h"

namespace pella {

inline std::string_view VrOf(const DataElement& element) {
    if (IsKnownVR(element.vr)) return std::string_view(element.vr, 2);
    if (const DictionaryEntry* entry = FindDictionaryEntry(element.group, element.element))
        return std::string_view(entry->vr, 2);
    return "UN";
}

}  // namespace pella
