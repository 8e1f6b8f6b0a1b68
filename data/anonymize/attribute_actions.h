// What the anonymizer does with one attribute: the profile table's action, turned by the
// options in force into one of a few plain steps.
#pragma once

#include <cstdint>
#include <string_view>

#include "data/anonymize/anonymize_options.h"
#include "data/registry/confidentiality_profile.h"

namespace pella {

enum class AttributeAction : uint8_t {
    kKeep,         // unchanged (a sequence's items are still walked)
    kRemove,       // left out
    kEmpty,        // kept with an empty value (a sequence without items)
    kDummy,        // a harmless value of its VR (a sequence without items)
    kReplaceUids,  // every UID of the value mapped under the key
    kClean,        // dates moved by the shift; other text with identifying words masked
};

// The plain step of one of the table's codes. A choice between removing, emptying and a dummy
// value depends on whether the class requires the attribute, which is not known here: the
// choice that keeps any class valid is taken (X/Z -> empty; X/D, Z/D, X/Z/D -> dummy value;
// X/Z/U* -> kept, with the UIDs in its items replaced).
AttributeAction BasicAction(std::string_view code);

// The action for an attribute of `row` (nullptr: not in the table, kept) under `options`:
// an option in force that names the attribute overrides the basic action; when several do,
// keeping wins over cleaning, and cleaning over removing.
AttributeAction ActionFor(const ProfileRow* row, const AnonymizeOptions& options);

// The action for a tag of the data set at any depth: group lengths are dropped (the lengths
// change), private attributes follow keepPrivate, the rest the table.
AttributeAction ActionForTag(uint16_t group, uint16_t element, const AnonymizeOptions& options);

}  // namespace pella
