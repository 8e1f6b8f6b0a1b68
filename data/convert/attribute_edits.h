// Top-level attributes the converter sets, replaces or removes in its output as the data set
// streams through: each edit lands in tag order, in place of the source's attribute if it has
// one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/io/converted_output.h"

namespace pella {

class AttributeEdits {
public:
    // The attribute becomes `elements` (its element, then for a sequence its items and
    // delimiters); no elements removes it.
    void Set(uint16_t group, uint16_t element, std::vector<ElementPtr> elements);
    // A text attribute, padded to even length with a space (a zero byte for UI).
    void SetText(uint16_t group, uint16_t element, const char* vr, std::string text);
    // A US attribute in the target byte order.
    void SetUS(uint16_t group, uint16_t element, uint16_t value, bool bigEndian);
    void Remove(uint16_t group, uint16_t element) { Set(group, element, {}); }

    // Appends the edits whose tags come before `tag` (group << 16 | element). True when the
    // source's top-level element of that tag is replaced or removed: the caller then skips it.
    bool Before(uint32_t tag, ConvertedOutput& out);
    // Appends the remaining edits.
    void Finish(ConvertedOutput& out);

private:
    std::map<uint32_t, std::vector<ElementPtr>> edits_;
};

}  // namespace pella
