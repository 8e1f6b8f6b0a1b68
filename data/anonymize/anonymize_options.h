// What an anonymization keeps: the profile's retain and clean options, private attributes, the
// key that turns old UIDs into new ones, and whether images that may show text are taken.
#pragma once

#include <optional>
#include <string>

namespace pella {

struct AnonymizeOptions {
    std::string key;                            // secret for the UID mapping; never empty
    bool retainUids = false;                    // UIDs kept as they are
    bool retainDeviceIdentity = false;          // station, serial numbers, device labels
    bool retainInstitutionIdentity = false;     // institution name, address, department
    bool retainPatientCharacteristics = false;  // sex, age, size, weight, ethnic group, ...
    bool retainFullDates = false;               // dates and times kept as they are
    std::optional<int> dateShiftDays;           // dates and date-times moved by this many days
    bool cleanDescriptors = false;              // descriptions kept with identifying words masked
    bool keepPrivate = false;                   // private (odd-group) attributes kept
    bool allowBurnedIn = false;                 // images that may show burned-in text taken
};

}  // namespace pella
