#include "imaging/decimal_text.h"

#include <cmath>
#include <cstdlib>

namespace pella {

double LeadingNumber(const std::string& text, double fallback) {
    const char* start = text.c_str();
    char* end = nullptr;
    double value = std::strtod(start, &end);
    if (end == start || !std::isfinite(value)) return fallback;
    return value;
}

int32_t LeadingInteger(const std::string& text, int32_t fallback) {
    double value = LeadingNumber(text, fallback);
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace pella
