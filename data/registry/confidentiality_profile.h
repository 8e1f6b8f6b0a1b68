// The attribute table of the Basic Application Level Confidentiality Profile: what happens to
// each attribute, under the basic profile and under each of its options. Generated from a copy
// of the standard's table (generate_confidentiality_profile.py); kConfidentialityProfileEdition
// names the edition.
#pragma once

#include <cstdint>
#include <span>

namespace pella {

// The profile's options that change an attribute's action, in the order of the table's columns.
enum class ProfileOption : uint8_t {
    kRetainSafePrivate,
    kRetainUids,
    kRetainDeviceIdentity,
    kRetainInstitutionIdentity,
    kRetainPatientCharacteristics,
    kRetainLongitudinalFullDates,
    kRetainLongitudinalModifiedDates,
    kCleanDescriptors,
    kCleanStructuredContent,
    kCleanGraphics,
};
constexpr std::size_t kProfileOptionCount = 10;

// One attribute of the table. A tag (g, e) matches when (g & groupMask) == group and
// (e & elementMask) == element, so repeating groups ("60xx") and the private attributes (every
// odd group) are rows too.
struct ProfileRow {
    uint16_t group;
    uint16_t groupMask;
    uint16_t element;
    uint16_t elementMask;
    const char* name;
    // The basic profile's action as the table writes it: "X" remove, "Z" empty, "D" dummy
    // value, "U" replace UIDs, "K" keep, "C" clean, or a choice such as "X/Z", "X/Z/D", "X/Z/U*"
    // that depends on how the class requires the attribute.
    const char* basic;
    // Per ProfileOption: 'K' keep, 'C' clean, 'X' remove, or 0 when the option does not touch it.
    char options[kProfileOptionCount];
};

// The edition and source the table was generated from.
extern const char* const kConfidentialityProfileEdition;

// Every row: exact tags sorted by (group, element), then the rows with wildcards.
std::span<const ProfileRow> ProfileRows();

// The row of a tag: the exact row when there is one, otherwise the first wildcard row that
// matches; nullptr for an attribute the profile keeps.
const ProfileRow* FindProfileRow(uint16_t group, uint16_t element);

}  // namespace pella
