// Lenient reading of decimal texts (IS and DS values): the leading number of the first value.
#pragma once

#include <cstdint>
#include <string>

namespace pella {

// The leading decimal number of `text` after blanks; `fallback` when it does not start with one.
double LeadingNumber(const std::string& text, double fallback = 0);

// The same truncated toward zero (a fraction is dropped), within the 32-bit range.
int32_t LeadingInteger(const std::string& text, int32_t fallback = 0);

}  // namespace pella
