#include "imaging/gray_level.h"

#include <algorithm>
#include <cmath>

namespace pella {

int64_t ModalityValue(int64_t stored, double slope, double intercept) {
    constexpr double kLimit = 1099511627776.0;  // 2^40: far beyond any window
    double value = std::trunc(slope * static_cast<double>(stored) + intercept);
    if (std::isnan(value)) return 0;
    return static_cast<int64_t>(std::clamp(value, -kLimit, kLimit));
}

uint8_t WindowLevel(int64_t value, int64_t centre, int64_t width, bool invert) {
    int64_t offset = invert ? centre - value : value - centre;
    int64_t level = offset * 255 / width + 127;
    return static_cast<uint8_t>(std::clamp<int64_t>(level, 0, 255));
}

uint8_t Luminance(uint8_t red, uint8_t green, uint8_t blue) {
    // In thousandths, rounded half up.
    return static_cast<uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

}  // namespace pella
