#include "data/anonymize/attribute_actions.h"

#include <array>

namespace pella {

namespace {

// Which of the table's option columns the options put in force.
std::array<bool, kProfileOptionCount> OptionsInForce(const AnonymizeOptions& options) {
    std::array<bool, kProfileOptionCount> on{};
    on[static_cast<std::size_t>(ProfileOption::kRetainUids)] = options.retainUids;
    on[static_cast<std::size_t>(ProfileOption::kRetainDeviceIdentity)] = options.retainDeviceIdentity;
    on[static_cast<std::size_t>(ProfileOption::kRetainInstitutionIdentity)] =
        options.retainInstitutionIdentity;
    on[static_cast<std::size_t>(ProfileOption::kRetainPatientCharacteristics)] =
        options.retainPatientCharacteristics;
    on[static_cast<std::size_t>(ProfileOption::kRetainLongitudinalFullDates)] = options.retainFullDates;
    on[static_cast<std::size_t>(ProfileOption::kRetainLongitudinalModifiedDates)] =
        options.dateShiftDays.has_value();
    on[static_cast<std::size_t>(ProfileOption::kCleanDescriptors)] = options.cleanDescriptors;
    return on;
}

int Strength(char code) {  // how much of the value an option's code keeps
    switch (code) {
        case 'K':
            return 3;
        case 'C':
            return 2;
        case 'X':
            return 1;
        default:
            return 0;
    }
}

}  // namespace

AttributeAction BasicAction(std::string_view code) {
    if (code == "K" || code == "X/Z/U*") return AttributeAction::kKeep;
    if (code == "X") return AttributeAction::kRemove;
    if (code == "Z" || code == "X/Z") return AttributeAction::kEmpty;
    if (code == "U") return AttributeAction::kReplaceUids;
    if (code == "C") return AttributeAction::kClean;
    if (code == "D" || code == "X/D" || code == "Z/D" || code == "X/Z/D") return AttributeAction::kDummy;
    return AttributeAction::kRemove;  // a code this build does not know: nothing is left behind
}

AttributeAction ActionFor(const ProfileRow* row, const AnonymizeOptions& options) {
    if (row == nullptr) return AttributeAction::kKeep;
    std::array<bool, kProfileOptionCount> on = OptionsInForce(options);
    char best = 0;
    for (std::size_t i = 0; i < kProfileOptionCount; ++i) {
        if (on[i] && Strength(row->options[i]) > Strength(best)) best = row->options[i];
    }
    switch (best) {
        case 'K':
            return AttributeAction::kKeep;
        case 'C':
            return AttributeAction::kClean;
        case 'X':
            return AttributeAction::kRemove;
        default:
            return BasicAction(row->basic);
    }
}

AttributeAction ActionForTag(uint16_t group, uint16_t element, const AnonymizeOptions& options) {
    if (group % 2 == 1) return options.keepPrivate ? AttributeAction::kKeep : AttributeAction::kRemove;
    if (element == 0x0000 && group != 0xFFFE) return AttributeAction::kRemove;
    return ActionFor(FindProfileRow(group, element), options);
}

}  // namespace pella
