#include "data/anonymize/identity_terms.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

#include "data/anonymize/element_vr.h"

namespace pella {

namespace {

// Attributes besides the person names whose values identify someone or somewhere.
constexpr std::array<std::pair<uint16_t, uint16_t>, 11> kIdentifyingTags{{
    {0x0008, 0x0050},  // Accession Number
    {0x0008, 0x0080},  // Institution Name
    {0x0008, 0x0081},  // Institution Address
    {0x0008, 0x1010},  // Station Name
    {0x0010, 0x0020},  // Patient ID
    {0x0010, 0x0030},  // Patient's Birth Date
    {0x0010, 0x1000},  // Other Patient IDs
    {0x0010, 0x1040},  // Patient's Address
    {0x0010, 0x2154},  // Patient's Telephone Numbers
    {0x0018, 0x1000},  // Device Serial Number
    {0x0020, 0x0010},  // Study ID
}};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsSeparator(char c, bool wholeValue) {
    if (c == '\\' || c == '\0') return true;
    return !wholeValue && (c == '^' || c == '=' || c == ' ' || c == ',');
}

bool IsIdentifyingTag(const DataElement& element) {
    return std::find(kIdentifyingTags.begin(), kIdentifyingTags.end(),
                     std::make_pair(element.group, element.element)) != kIdentifyingTags.end();
}

}  // namespace

void IdentityTerms::Add(std::string_view value, bool wholeValue) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && !IsSeparator(value[i], wholeValue)) continue;
        std::string_view part = value.substr(start, i - start);
        while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        if (part.size() >= 2) terms_.push_back(Upper(part));
        start = i + 1;
    }
}

IdentityTerms IdentityTerms::From(const ElementList& dataSet) {
    IdentityTerms terms;
    int depth = 0;
    for (const auto& element : dataSet) {
        const DataElement& e = *element;
        bool topLevel = depth == 0;
        if (e.length == kUndefinedLength) ++depth;
        if (e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD)) --depth;
        if (!topLevel || !HasValue(e) || e.group == 0xFFFE) continue;
        std::string_view value(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length));
        if (VrOf(e) == "PN") {
            terms.Add(value, false);
        } else if (IsIdentifyingTag(e)) {
            terms.Add(value, true);
            terms.Add(value, false);
        }
    }
    std::sort(terms.terms_.begin(), terms.terms_.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size() || (a.size() == b.size() && a < b);
    });
    terms.terms_.erase(std::unique(terms.terms_.begin(), terms.terms_.end()), terms.terms_.end());
    return terms;
}

std::string IdentityTerms::Masked(std::string_view text) const {
    std::string out(text);
    std::string upper = Upper(text);
    for (const std::string& term : terms_) {
        for (std::size_t at = upper.find(term); at != std::string::npos;
             at = upper.find(term, at + term.size())) {
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(at),
                      out.begin() + static_cast<std::ptrdiff_t>(at + term.size()), '*');
            std::fill(upper.begin() + static_cast<std::ptrdiff_t>(at),
                      upper.begin() + static_cast<std::ptrdiff_t>(at + term.size()), '*');
        }
    }
    return out;
}

}  // namespace pella
