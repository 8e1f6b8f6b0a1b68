// Naming an element of a data set by text: a tag as a keyword ("PatientName"), "gggg,eeee" or
// "(gggg,eeee)", and a path through sequence items, "(0040,0275)[0].(0040,0009)", where "[*]"
// stands for every item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pella {

struct PathStep {
    uint16_t group = 0;
    uint16_t element = 0;
    // For every step but the last: which item of the sequence the path goes into.
    bool allItems = false;
    std::size_t item = 0;
};

struct TagPath {
    std::vector<PathStep> steps;  // never empty once parsed; the last one names the element
};

// Longest path accepted: deeper nesting than any reader keeps cannot be named.
constexpr std::size_t kMaxPathSteps = 64;

// Parses one tag; false with `error` set when the text is none of the three forms.
bool ParseTag(std::string_view text, uint16_t& group, uint16_t& element, std::string& error);

// Parses a path; false with `error` set when a step is no tag, an item index is missing on an
// inner step or given on the last, or the path is longer than kMaxPathSteps.
bool ParseTagPath(std::string_view text, TagPath& out, std::string& error);

// "(gggg,eeee)" in upper-case hexadecimal.
std::string TagText(uint16_t group, uint16_t element);

}  // namespace pella
