// What an anonymized data set says about itself: Patient Identity Removed "YES", the
// De-identification Method in words, and the De-identification Method Code Sequence with one
// code for the basic profile and one per option used; Longitudinal Temporal Information
// Modified "MODIFIED" when dates were shifted.
#pragma once

#include <string>
#include <vector>

#include "data/anonymize/anonymize_options.h"
#include "data/model/element_list.h"

namespace pella {

struct MethodCode {
    const char* value;    // code value of the DCM coding scheme
    const char* meaning;  // its code meaning
};

// The codes of the profile and of each option in force, the profile's first.
std::vector<MethodCode> MethodCodes(const AnonymizeOptions& options);

// Puts the marks into the data set's top level, replacing any there.
void AddDeidentificationMarks(ElementList& dataSet, const AnonymizeOptions& options);

}  // namespace pella
