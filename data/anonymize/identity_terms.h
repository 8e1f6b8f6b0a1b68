// Cleaning free text: the words that identify the patient, the people and the places of a data
// set (the parts of every person name, the patient's IDs, the accession number, the birth date,
// the institution), collected from its own attributes before they are removed, and masked
// wherever they appear in a text that the profile lets through once cleaned.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

class IdentityTerms {
public:
    // The terms of the data set's top-level attributes.
    static IdentityTerms From(const ElementList& dataSet);

    // `text` with every occurrence of a term, in any letter case, replaced by as many "*".
    std::string Masked(std::string_view text) const;

    const std::vector<std::string>& Terms() const { return terms_; }

private:
    void Add(std::string_view value, bool wholeValue);
    std::vector<std::string> terms_;  // upper case, two characters or more, longest first
};

}  // namespace pella
